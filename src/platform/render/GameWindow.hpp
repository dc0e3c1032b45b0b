// The game window: one SDL window titled "Quadrel" with an OpenGL 3.3 core
// context, showing the 640 x 480 picture letterboxed; and the mapping of
// window coordinates to picture pixels.
#pragma once

#include <cstdint>

struct SDL_Window;

namespace quadrel::render {

struct ViewRect {
  int x, y, width, height;  // top-left origin
};

// The largest 4:3 rectangle centred in a drawable of this size.
ViewRect Letterbox(int drawableWidth, int drawableHeight);

// A window position (in window units) as picture pixels, through the letterbox.
void WindowToPicture(int windowX, int windowY, int windowWidth, int windowHeight, int32_t& pictureX,
                     int32_t& pictureY);

// Initialises SDL video when needed and creates the window (client 640 x 480,
// or the desktop in full screen). Returns null with SDL's error on failure.
SDL_Window* CreateGameWindow(bool fullScreen, bool hidden = false);

}  // namespace quadrel::render
