#include "platform/render/GameWindow.hpp"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

ViewRect Letterbox(int dw, int dh) {
  if (dw <= 0 || dh <= 0) return ViewRect{0, 0, 0, 0};
  // Width-limited or height-limited, whichever fits.
  int w = dw, h = dw * kPictureHeight / kPictureWidth;
  if (h > dh) {
    h = dh;
    w = dh * kPictureWidth / kPictureHeight;
  }
  return ViewRect{(dw - w) / 2, (dh - h) / 2, w, h};
}

void WindowToPicture(int wx, int wy, int ww, int wh, int32_t& px, int32_t& py) {
  const ViewRect r = Letterbox(ww, wh);
  if (r.width <= 0 || r.height <= 0) {
    px = wx;
    py = wy;
    return;
  }
  px = static_cast<int32_t>(std::floor(double(wx - r.x) * kPictureWidth / r.width));
  py = static_cast<int32_t>(std::floor(double(wy - r.y) * kPictureHeight / r.height));
}

SDL_Window* CreateGameWindow(bool fullScreen, bool hidden) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
  if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  if (hidden) flags |= SDL_WINDOW_HIDDEN;
  return SDL_CreateWindow("Quadrel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kPictureWidth,
                          kPictureHeight, flags);
}

}  // namespace quadrel::render
