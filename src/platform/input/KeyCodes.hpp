// SDL scancodes to the input-device key codes the scenes index their
// 256-byte keyboard state with (DIK_* numbering).
#pragma once

#include <cstdint>
#include <span>

namespace quadrel::io {

struct ScancodeKey {
  int scancode;  // SDL_Scancode
  uint8_t code;  // key code, 1..255
};

// The one translation table, by physical key position. A few scancodes
// share a code where two SDL names describe the same key.
std::span<const ScancodeKey> ScancodeKeyTable();

// 0 for a scancode the table does not know (the key is then ignored).
uint8_t KeyCodeFromScancode(int scancode);

}  // namespace quadrel::io
