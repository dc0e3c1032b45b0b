#include "Canvas.hpp"

#include <algorithm>
#include <cmath>

namespace quadrel::assetgen {

namespace {

float ToLinear(int v) {
  const float c = v / 255.0f;
  return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

float ToDisplay(float c) {
  c = std::clamp(c, 0.0f, 1.0f);
  return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
}

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

}  // namespace

Rgb Srgb(int r, int g, int b) { return {ToLinear(r), ToLinear(g), ToLinear(b)}; }

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

void Canvas::Blend(int x, int y, Rgb colour, float alpha) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0) return;
  Rgb& p = At(x, y);
  p = Mix(p, colour, std::min(alpha, 1.0f));
}

void Canvas::Add(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  At(x, y) = At(x, y) + colour;
}

void Canvas::FillPolygon(const std::vector<Point>& corners, Rgb colour, float alpha) {
  if (corners.size() < 3) return;
  double minX = corners[0].x, maxX = minX, minY = corners[0].y, maxY = minY;
  for (const Point& p : corners) {
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  const int x0 = std::max(0, static_cast<int>(std::floor(minX)));
  const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(maxX)));
  const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
  const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY)));
  constexpr int kSub = 4;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        const double py = y + (sy + 0.5) / kSub;
        for (int sx = 0; sx < kSub; ++sx) {
          const double px = x + (sx + 0.5) / kSub;
          bool in = false;  // even-odd rule
          for (size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
            const Point a = corners[i], b = corners[j];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) in = !in;
          }
          inside += in;
        }
      }
      if (inside) Blend(x, y, colour, alpha * inside / (kSub * kSub));
    }
  }
}

void Canvas::Line(Point a, Point b, double width, Rgb colour, float alpha) {
  const double half = width / 2;
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min(a.x, b.x) - half - 1)));
  const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(std::max(a.x, b.x) + half + 1)));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min(a.y, b.y) - half - 1)));
  const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + half + 1)));
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5 - a.x, py = y + 0.5 - a.y;
      const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
      const double d = std::hypot(px - t * dx, py - t * dy);
      const double cover = std::clamp(half + 0.5 - d, 0.0, 1.0);
      if (cover > 0) Blend(x, y, colour, static_cast<float>(alpha * cover));
    }
  }
}

void Canvas::Glow(Point centre, double radius, Rgb colour) {
  const double reach = radius * 3;
  const int x0 = std::max(0, static_cast<int>(centre.x - reach));
  const int x1 = std::min(width_ - 1, static_cast<int>(centre.x + reach));
  const int y0 = std::max(0, static_cast<int>(centre.y - reach));
  const int y1 = std::min(height_ - 1, static_cast<int>(centre.y + reach));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
      const float k = static_cast<float>(std::exp(-(dx * dx + dy * dy) / (2 * radius * radius)));
      Add(x, y, colour * k);
    }
  }
}

void Canvas::Disc(Point centre, double radius, Rgb colour, float alpha) {
  const int x0 = std::max(0, static_cast<int>(centre.x - radius - 1));
  const int x1 = std::min(width_ - 1, static_cast<int>(centre.x + radius + 1));
  const int y0 = std::max(0, static_cast<int>(centre.y - radius - 1));
  const int y1 = std::min(height_ - 1, static_cast<int>(centre.y + radius + 1));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double d = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y);
      const double cover = std::clamp(radius + 0.5 - d, 0.0, 1.0);
      if (cover > 0) Blend(x, y, colour, static_cast<float>(alpha * cover));
    }
  }
}

std::vector<uint32_t> Canvas::ToArgb() const {
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  std::vector<uint32_t> out(pixels_.size());
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgb p = At(x, y);
      const float dither = (kBayer[y & 3][x & 3] + 0.5f) / 16.0f;
      auto channel = [&](float c) {
        return static_cast<uint32_t>(std::clamp(ToDisplay(c) * 255.0f + dither, 0.0f, 255.0f));
      };
      out[static_cast<size_t>(y) * width_ + x] =
          0xFF000000u | channel(p.r) << 16 | channel(p.g) << 8 | channel(p.b);
    }
  }
  return out;
}

double Noise(double x, double y, uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const double fx = x - xi, fy = y - yi;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  auto corner = [&](int cx, int cy) { return (Hash(cx, cy, seed) & 0xFFFF) / 65535.0; };
  const double top = corner(xi, yi) + (corner(xi + 1, yi) - corner(xi, yi)) * sx;
  const double bottom = corner(xi, yi + 1) + (corner(xi + 1, yi + 1) - corner(xi, yi + 1)) * sx;
  return top + (bottom - top) * sy;
}

double FractalNoise(double x, double y, int octaves, uint32_t seed) {
  double sum = 0, amplitude = 0.5, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * Noise(x, y, seed + i * 101u);
    total += amplitude;
    x *= 2.03, y *= 2.03;
    amplitude *= 0.5;
  }
  return sum / total;
}

}  // namespace quadrel::assetgen
