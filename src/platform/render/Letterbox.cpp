// The letterbox of the 640 x 480 picture in a drawable, on every platform.
#include <cmath>

#include "platform/render/GameWindow.hpp"
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

}  // namespace quadrel::render
