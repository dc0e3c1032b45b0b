// Small sound files made by the tests themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::io::test {

// A 440 Hz tone of `frames` sample frames as Ogg Vorbis. With
// announcedExtra > 0 the stream claims that many frames more than it holds.
bool WriteOgg(const std::string& path, int channels, long rate, long frames, long announcedExtra = 0);

// A WAVE file of `frames` frames, every sample equal to `value`.
bool WriteConstantWave(const std::string& path, int channels, long rate, long frames, int16_t value);

// A fresh empty folder under the system's temporary folder.
std::string MakeTempFolder();
void RemoveFolder(const std::string& path);

}  // namespace quadrel::io::test
