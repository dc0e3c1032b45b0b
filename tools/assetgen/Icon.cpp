#include "Icon.hpp"

#include <cstdint>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace quadrel::assetgen {

Canvas PaintIcon(int size) {
  Canvas c(size, size);
  const double s = size / 256.0;  // drawn on a 256-unit grid
  // The tile: deep blue, lighter towards the top.
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) c.At(x, y) = Mix(Srgb(30, 44, 96), Srgb(6, 8, 24), float(y) / size);
  // Four blocks, two by two, in the game's block colours.
  const Rgb colours[] = {Srgb(230, 60, 60), Srgb(60, 200, 90), Srgb(70, 110, 240), Srgb(200, 80, 220)};
  for (int i = 0; i < 4; ++i) {
    const double x0 = (48 + (i % 2) * 84) * s, y0 = (36 + (i / 2) * 44) * s;
    const double w = 76 * s, h = 36 * s;
    c.FillPolygon({{x0, y0}, {x0 + w, y0}, {x0 + w, y0 + h}, {x0, y0 + h}}, colours[i]);
    c.Line({x0 + 3 * s, y0 + 4 * s}, {x0 + w - 3 * s, y0 + 4 * s}, 4 * s, Srgb(255, 255, 255), 0.45f);
  }
  // The ball with its light, and the orange bar under it.
  // A soft halo of rings (a Gaussian glow would end in a visible square here).
  for (int ring = 0; ring < 4; ++ring)
    c.Disc({150 * s, 160 * s}, (34 - 4 * ring) * s, Srgb(120, 140, 255), 0.12f);
  c.Disc({150 * s, 160 * s}, 17 * s, Srgb(245, 245, 255));
  c.FillPolygon({{60 * s, 206 * s}, {196 * s, 206 * s}, {196 * s, 224 * s}, {60 * s, 224 * s}},
                Srgb(255, 150, 30));
  return c;
}

std::string EncodePng(const Canvas& canvas) {
  const std::vector<uint32_t> argb = canvas.ToArgb();
  std::vector<unsigned char> rgb;
  rgb.reserve(argb.size() * 3);
  for (uint32_t p : argb) {
    rgb.push_back(static_cast<unsigned char>(p >> 16));
    rgb.push_back(static_cast<unsigned char>(p >> 8));
    rgb.push_back(static_cast<unsigned char>(p));
  }
  std::string out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
      },
      &out, canvas.Width(), canvas.Height(), 3, rgb.data(), canvas.Width() * 3);
  return out;
}

}  // namespace quadrel::assetgen
