#include "Dds.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quadrel::assetgen {

namespace {

// Header flags of the DirectDraw surface description.
constexpr uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                   kMipMapCount = 0x20000;
constexpr uint32_t kAlphaPixels = 0x1, kRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// Halves a level, averaging 2 x 2 pixels in linear light so the small levels
// keep the picture's brightness.
std::vector<uint32_t> Halve(const std::vector<uint32_t>& pixels, int width, int height) {
  auto lin = [](uint32_t v, int shift) { return std::pow(((v >> shift) & 0xFF) / 255.0, 2.2); };
  const int w = width / 2, h = height / 2;
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t result = 0;
      for (int shift : {0, 8, 16, 24}) {
        double sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const uint32_t p = pixels[static_cast<size_t>(2 * y + dy) * width + 2 * x + dx];
            sum += shift == 24 ? ((p >> 24) & 0xFF) / 255.0 : lin(p, shift);
          }
        sum /= 4;
        const double value = shift == 24 ? sum : std::pow(sum, 1 / 2.2);
        result |= static_cast<uint32_t>(std::lround(value * 255.0)) << shift;
      }
      out[static_cast<size_t>(y) * w + x] = result;
    }
  }
  return out;
}

}  // namespace

std::string EncodeDds(int width, int height, const std::vector<uint32_t>& pixels, bool mipChain) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height)
    throw std::invalid_argument("picture size does not match its pixels");
  int levels = 1;
  if (mipChain) {
    if ((width & (width - 1)) || (height & (height - 1)))
      throw std::invalid_argument("a mip chain needs a power-of-two size");
    for (int w = width, h = height; w > 1 || h > 1; w = std::max(1, w / 2), h = std::max(1, h / 2)) ++levels;
  }

  std::string out = "DDS ";
  Put32(out, 124);
  Put32(out, kCaps | kHeight | kWidth | kPitch | kPixelFormat | (mipChain ? kMipMapCount : 0));
  Put32(out, static_cast<uint32_t>(height));
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(width) * 4);  // pitch of one row
  Put32(out, 0);                                 // depth
  Put32(out, mipChain ? static_cast<uint32_t>(levels) : 0);
  for (int i = 0; i < 11; ++i) Put32(out, 0);  // reserved
  // Pixel format: 32-bit RGB with alpha, stored as B, G, R, A bytes.
  Put32(out, 32);
  Put32(out, kRgb | kAlphaPixels);
  Put32(out, 0);  // no FourCC
  Put32(out, 32);
  Put32(out, 0x00FF0000);
  Put32(out, 0x0000FF00);
  Put32(out, 0x000000FF);
  Put32(out, 0xFF000000);
  Put32(out, kCapsTexture | (mipChain ? kCapsComplex | kCapsMipMap : 0));
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // caps2, caps3, caps4, reserved

  std::vector<uint32_t> level = pixels;
  int w = width, h = height;
  for (int i = 0; i < levels; ++i) {
    for (uint32_t p : level) Put32(out, p);
    if (i + 1 < levels) {
      if (w == 1 || h == 1) throw std::invalid_argument("only square mip chains are written");
      level = Halve(level, w, h);
      w /= 2, h /= 2;
    }
  }
  return out;
}

}  // namespace quadrel::assetgen
