#include "platform/dialog/MessageBox.hpp"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/dialog/TextMessageBox.hpp"

namespace quadrel::io {
namespace {

bool HaveDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// The texts use Windows line breaks; the box draws a lone CR as a glyph.
std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

void SdlMessageSink::ShowMessage(const std::string& caption, const std::string& text) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    // A hidden or captured pointer would leave the box unanswerable.
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);
  }
  // The text is already on standard error (one line per report); the box is
  // for the player. Our own box first, as it can draw Japanese; SDL's as a
  // fallback.
  if (!HaveDisplay()) return;
  const bool warning = caption == "Error";
  const std::string title = BoxTitle(caption);
  if (ShowTextMessageBox(title, text, warning)) return;
  const Uint32 flags = warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, title.c_str(), WithoutCarriageReturns(text).c_str(), parent_);
}

}  // namespace quadrel::io
