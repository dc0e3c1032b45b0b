// Result codes of the input and sound services: HRESULT-style, negative is
// failure, as the scenes expect from every platform call.
#pragma once

#include <cstdint>

namespace quadrel::io {

constexpr int32_t kOk = 0;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);

}  // namespace quadrel::io
