// What the replay check page shows, computed from a replay's bytes: the
// verdict line `quadrel-replay verify` prints, the header and the score trace,
// as one JSON text for the page's script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quadrel {

// displayName stands for the file in the verdict line (the page passes the
// dropped file's name). The bytes are checked from scratchPath, a file this
// call writes and removes again, so the check reads them exactly as the tool
// reads a file.
std::string VerifyReplayJson(const std::string& displayName, const uint8_t* bytes, size_t size,
                             const std::string& scratchPath);

}  // namespace quadrel
