// A small painting surface for the pictures: linear-light RGB in floats,
// anti-aliased shapes, glows and noise; stored top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quadrel::assetgen {

struct Rgb {
  float r = 0, g = 0, b = 0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb Mix(Rgb a, Rgb b, float t) { return a * (1 - t) + b * t; }
// A colour given in 0..255 display values, turned into linear light.
Rgb Srgb(int r, int g, int b);

struct Point {
  double x, y;
};

class Canvas {
 public:
  Canvas(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  Rgb At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  // Blends `colour` over pixel (x, y) with coverage `alpha` (0..1); outside is ignored.
  void Blend(int x, int y, Rgb colour, float alpha);
  void Add(int x, int y, Rgb colour);

  // A convex or concave polygon, anti-aliased by 4 x 4 samples per pixel.
  void FillPolygon(const std::vector<Point>& corners, Rgb colour, float alpha = 1.0f);
  // A line of the given width with soft ends.
  void Line(Point a, Point b, double width, Rgb colour, float alpha = 1.0f);
  // An additive soft light falling off like a Gaussian of the given radius.
  void Glow(Point centre, double radius, Rgb colour);
  // A filled disc with an anti-aliased rim.
  void Disc(Point centre, double radius, Rgb colour, float alpha = 1.0f);

  // 32-bit pixels 0xAARRGGBB in display values, opaque, top row first, with
  // a little ordered dither so that gradients do not band.
  std::vector<uint32_t> ToArgb() const;

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

// Smooth value noise in 0..1 and its sum over octaves.
double Noise(double x, double y, uint32_t seed);
double FractalNoise(double x, double y, int octaves, uint32_t seed);

// A small deterministic random generator for placing stars and the like.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }
  double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

 private:
  uint32_t state_;
};

}  // namespace quadrel::assetgen
