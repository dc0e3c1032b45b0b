// Result codes of the platform services and the network: HRESULT-style,
// negative is failure, as the scenes expect from every platform call.
#pragma once

#include <cstdint>

namespace quadrel {

// The one generic failure every service reports.
constexpr int32_t kFailure = static_cast<int32_t>(0x80004005u);

namespace io {

constexpr int32_t kOk = 0;
constexpr int32_t kFail = kFailure;

}  // namespace io
}  // namespace quadrel
