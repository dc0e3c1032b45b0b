#include "platform/MessageBox.hpp"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

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
  if (HaveDisplay()) {
    const Uint32 flags = caption == "Error" ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), WithoutCarriageReturns(text).c_str(), parent_) == 0) {
      return;
    }
  }
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace quadrel::io
