// The renderer's SDL side: the OpenGL context on the game window, its
// size, swap and display modes.
#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/render/GlGraphics.hpp"

namespace quadrel::render {
namespace {

// Keeps the GL driver libraries that the context loaded mapped until the
// process exits (they are unloaded at shutdown otherwise), so that tools which
// check for leaks at exit can still name their frames.
void PinLoadedDrivers() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) -> int {
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        const bool driver = name.find("_dri.so") != std::string::npos ||
                            name.find("libGLX_mesa") != std::string::npos ||
                            name.find("libEGL_mesa") != std::string::npos;
        if (driver) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

}  // namespace

void GlGraphics::MakeCurrent() {
  if (context_) SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
}

void GlGraphics::DestroyContext() {
  if (context_) {
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
  }
}

int32_t GlGraphics::ProbeRuntime() {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL) ? kOk : kFail;
}

int32_t GlGraphics::CreateApi() {
  if (!context_) {
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      std::fprintf(stderr, "OpenGL context: %s\n", SDL_GetError());
      return kFail;
    }
  }
  SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
  PinLoadedDrivers();
  if (epoxy_gl_version() < 33) {
    DestroyContext();
    return kFail;
  }
  SetSwapInterval(swapInterval_);
  return kOk;
}

void GlGraphics::SetSwapInterval(int interval) {
  swapInterval_ = interval;
  if (context_) SDL_GL_SetSwapInterval(interval);
}

int32_t GlGraphics::QueryDisplayMode(DisplayMode& mode) {
  SDL_DisplayMode dm{};
  const int index = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
  if (SDL_GetDesktopDisplayMode(index, &dm) != 0) return kFail;
  mode = DisplayMode{uint32_t(dm.w), uint32_t(dm.h), uint32_t(dm.refresh_rate), kFormatX8R8G8B8};
  return kOk;
}

void GlGraphics::SwitchWindow(int32_t fullScreen, int32_t windowWidth, int32_t windowHeight) {
  if (!window_) return;
  if (fullScreen) {
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowSize(window_, windowWidth > 0 ? windowWidth : kPictureWidth,
                      windowHeight > 0 ? windowHeight : kPictureHeight);
  }
  SDL_ShowWindow(window_);
}

void GlGraphics::DrawableSize(int& width, int& height) { SDL_GL_GetDrawableSize(window_, &width, &height); }

void GlGraphics::SwapWindow() { SDL_GL_SwapWindow(window_); }

bool GlGraphics::HasExtension(const char* name) { return epoxy_has_gl_extension(name); }

}  // namespace quadrel::render
