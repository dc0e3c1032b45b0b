#include "Pictures.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadrel::assetgen {

namespace {

constexpr double kPi = std::numbers::pi;

double SmoothStep(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// 0 inside the rectangle (grown by `soft` pixels of fade), 1 well outside it.
double Outside(double x, double y, double x0, double y0, double x1, double y1, double soft) {
  const double dx = std::max({x0 - x, 0.0, x - x1}), dy = std::max({y0 - y, 0.0, y - y1});
  return SmoothStep(0, soft, std::hypot(dx, dy));
}

void VerticalGradient(Canvas& c, const std::vector<std::pair<double, Rgb>>& stops) {
  for (int y = 0; y < c.Height(); ++y) {
    const double t = (y + 0.5) / c.Height();
    Rgb colour = stops.front().second;
    for (size_t i = 0; i + 1 < stops.size(); ++i) {
      if (t >= stops[i].first && t <= stops[i + 1].first) {
        const double k = (t - stops[i].first) / (stops[i + 1].first - stops[i].first);
        colour = Mix(stops[i].second, stops[i + 1].second, static_cast<float>(k));
      }
    }
    if (t > stops.back().first) colour = stops.back().second;
    for (int x = 0; x < c.Width(); ++x) c.At(x, y) = colour;
  }
}

// Stars, fewer where `density` says so.
template <typename Density>
void Stars(Canvas& c, int count, uint32_t seed, Density density) {
  Random random(seed);
  for (int i = 0; i < count; ++i) {
    const double x = random.Range(0, c.Width()), y = random.Range(0, c.Height());
    const double size = random.Uniform();
    const double keep = random.Uniform();
    if (keep > density(x, y)) continue;
    const Rgb tint = Mix(Srgb(255, 230, 200), Srgb(190, 210, 255), static_cast<float>(random.Uniform()));
    const float bright = static_cast<float>(0.15 + 0.85 * size * size);
    c.Disc({x, y}, 0.45 + 0.7 * size, tint, bright);
    if (size > 0.93) c.Glow({x, y}, 3.0, tint * (0.12f * bright));
  }
}

std::vector<Point> Transform(const std::vector<Point>& local, Point centre, double angle) {
  const double ca = std::cos(angle), sa = std::sin(angle);
  std::vector<Point> out;
  for (const Point& p : local) out.push_back({centre.x + p.x * ca - p.y * sa, centre.y + p.x * sa + p.y * ca});
  return out;
}

// A game block seen from the front: a face with bevels lit from the upper left.
void Block2D(Canvas& c, Point centre, double width, double height, double angle, Rgb colour) {
  const double w = width / 2, h = height / 2, b = std::min(width, height) * 0.16;
  auto quad = [&](std::vector<Point> p, Rgb k, float a = 1.0f) { c.FillPolygon(Transform(p, centre, angle), k, a); };
  quad({{-w + 7, -h + 9}, {w + 7, -h + 9}, {w + 7, h + 9}, {-w + 7, h + 9}}, Rgb{}, 0.45f);  // shadow
  const Rgb light = Mix(colour * 1.35f, Rgb{1, 1, 1}, 0.30f);
  quad({{-w, -h}, {w, -h}, {w - b, -h + b}, {-w + b, -h + b}}, light);
  quad({{-w, -h}, {-w + b, -h + b}, {-w + b, h - b}, {-w, h}}, Mix(colour, light, 0.6f));
  quad({{-w, h}, {-w + b, h - b}, {w - b, h - b}, {w, h}}, colour * 0.35f);
  quad({{w, -h}, {w, h}, {w - b, h - b}, {w - b, -h + b}}, colour * 0.5f);
  // The face, a little lighter at the top.
  const int bands = 6;
  for (int i = 0; i < bands; ++i) {
    const double y0 = -h + b + (2 * h - 2 * b) * i / bands, y1 = -h + b + (2 * h - 2 * b) * (i + 1) / bands;
    quad({{-w + b, y0}, {w - b, y0}, {w - b, y1 + 0.6}, {-w + b, y1 + 0.6}},
         colour * static_cast<float>(0.95 - 0.25 * i / bands));
  }
  const auto glint = Transform({{-w + b * 0.6, -h + b * 0.6}}, centre, angle);
  c.Glow(glint[0], b * 0.9, Rgb{0.5f, 0.5f, 0.5f});
}

// The ball, lit from the upper left, with a fading trail behind it.
void Ball2D(Canvas& c, Point centre, double radius, Point from) {
  for (int i = 12; i >= 1; --i) {
    const double t = i / 13.0;
    const Point p{centre.x + (from.x - centre.x) * t, centre.y + (from.y - centre.y) * t};
    c.Disc(p, radius * (1 - 0.5 * t), Srgb(150, 200, 255), static_cast<float>(0.22 * (1 - t)));
  }
  c.Glow(centre, radius * 1.6, Srgb(110, 140, 200) * 0.5f);
  c.Disc(centre, radius, Srgb(120, 130, 160));
  c.Disc({centre.x - radius * 0.18, centre.y - radius * 0.18}, radius * 0.78, Srgb(205, 212, 235));
  c.Disc({centre.x - radius * 0.35, centre.y - radius * 0.35}, radius * 0.3, Srgb(255, 255, 255), 0.9f);
}

// A laurel branch curving up like "(" (side -1) or ")" (side 1) around a
// centre, leaves in pairs pointing towards its tip.
void Laurel(Canvas& c, Point centre, double radius, int side) {
  const Rgb gold = Srgb(230, 186, 72), shade = Srgb(160, 116, 36);
  auto at = [&](double a) { return Point{centre.x + side * radius * std::cos(a), centre.y + radius * std::sin(a)}; };
  const double from = 0.75, to = -0.95;  // radians below and above the centre line
  const int leaves = 8;
  for (int i = 0; i < 24; ++i)
    c.Line(at(from + (to - from) * i / 24), at(from + (to - from) * (i + 1) / 24), 2.4 - 1.4 * i / 24, shade, 0.95f);
  for (int i = 0; i < leaves; ++i) {
    const double t = (i + 0.5) / leaves, a = from + (to - from) * t;
    const Point p = at(a);
    const double heading = std::atan2(-std::cos(a), side * std::sin(a));  // along the stem, tipwards
    const double length = 19 - 7 * t, width = 5.2 - 1.6 * t;
    for (int leaf : {-1, 1}) {
      std::vector<Point> shape;
      for (int k = 0; k <= 10; ++k) {
        const double u = k / 10.0;
        shape.push_back({length * u, -width * std::pow(std::sin(kPi * u), 0.8) * (1 - 0.25 * u)});
      }
      for (int k = 10; k >= 0; --k) shape.push_back({length * k / 10.0, shape[static_cast<size_t>(k)].y * -0.35});
      std::vector<Point> turned = Transform(shape, p, heading + leaf * side * 0.62);
      c.FillPolygon(turned, leaf > 0 ? gold : Mix(gold, shade, 0.45f), 0.9f);
    }
  }
  c.Disc(at(to - 0.06), 3.2, gold, 0.9f);
}

const Rgb kBlue = Srgb(30, 95, 255), kGreen = Srgb(40, 215, 60), kPurple = Srgb(165, 60, 245),
          kRed = Srgb(255, 45, 40), kSilver = Srgb(180, 186, 200);

}  // namespace

Canvas PaintGameBackdrop() {
  Canvas c(kScreenWidth, kScreenHeight);
  VerticalGradient(c, {{0.0, Srgb(4, 6, 18)}, {0.55, Srgb(12, 12, 36)}, {0.82, Srgb(22, 14, 44)}, {1.0, Srgb(8, 6, 20)}});
  // Where the score (top left) and the counters (right column) are drawn.
  auto quiet = [](double x, double y) {
    return std::min(Outside(x, y, 0, 0, 290, 44, 40), Outside(x, y, 530, 0, 640, 180, 40));
  };
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) {
      const double n = FractalNoise(x / 170.0, y / 150.0, 5, 11);
      const double hue = FractalNoise(x / 260.0 + 7, y / 260.0, 3, 23);
      const float amount = static_cast<float>(SmoothStep(0.42, 0.85, n) * (0.25 + 0.75 * quiet(x, y)));
      c.At(x, y) = c.At(x, y) + Mix(Srgb(18, 60, 92), Srgb(82, 24, 96), static_cast<float>(hue)) * (0.55f * amount);
    }
  }
  // A dim planet at the left edge with a thin rim lit from the right.
  const Point planet{-70, 300};
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < 140; ++x) {
      const double d = std::hypot(x + 0.5 - planet.x, y + 0.5 - planet.y);
      const double cover = std::clamp(190.5 - d, 0.0, 1.0);
      if (cover <= 0) continue;
      const double rim = std::exp(-(190 - d) / 5.0) * std::max(0.0, (x - planet.x) / 190.0);
      const double bands = 0.5 + 0.5 * std::sin((y - planet.y) / 9.0 + FractalNoise(x / 40.0, y / 12.0, 3, 5) * 3);
      const Rgb surface = Mix(Srgb(10, 12, 26), Srgb(22, 20, 44), static_cast<float>(bands));
      c.Blend(x, y, surface + Srgb(120, 170, 255) * static_cast<float>(rim), static_cast<float>(cover));
    }
  }
  Stars(c, 520, 3, [&](double x, double y) {
    const bool onPlanet = std::hypot(x - planet.x, y - planet.y) < 192;
    return onPlanet ? 0.0 : 0.25 + 0.75 * quiet(x, y);
  });
  // Light on the horizon where the floor ends.
  for (int y = 300; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      c.Add(x, y, Srgb(70, 40, 120) * static_cast<float>(0.35 * std::exp(-std::pow((y - 398) / 26.0, 2))));
  return c;
}

Canvas PaintTitle() {
  Canvas c(kScreenWidth, kScreenHeight);
  const double horizon = 292;
  VerticalGradient(c, {{0.0, Srgb(2, 3, 12)}, {0.45, Srgb(10, 8, 30)}, {horizon / 480, Srgb(44, 18, 70)},
                       {horizon / 480 + 0.001, Srgb(6, 4, 16)}, {1.0, Srgb(4, 3, 12)}});
  // The game name (y 120..195) and the buttons (x 205..435, y 244..396) need a dark ground.
  auto quiet = [](double x, double y) {
    return std::min(Outside(x, y, 90, 105, 550, 205, 45), Outside(x, y, 190, 236, 450, 404, 50));
  };
  Stars(c, 420, 7, [&](double x, double y) { return y < horizon - 6 ? 0.2 + 0.8 * quiet(x, y) : 0.0; });
  // Perspective grid on the ground, fading towards the horizon and under the buttons.
  const Rgb gridColour = Srgb(200, 60, 220);
  for (int y = static_cast<int>(horizon) + 1; y < c.Height(); ++y) {
    const double depth = 190.0 / (y + 0.5 - horizon);  // 1 at the bottom edge
    for (int x = 0; x < c.Width(); ++x) {
      const double worldX = (x + 0.5 - 320) * depth / 190.0 * 8;
      const double fx = std::fabs(worldX - std::round(worldX)), fz = std::fabs(depth * 3 - std::round(depth * 3));
      const double pixel = depth / 190.0 * 8;  // world units per pixel across
      const double lineX = std::clamp(1.0 - fx / (pixel * 0.9 + 0.02), 0.0, 1.0);
      const double pixelZ = depth * depth / 190.0 * 3;
      const double lineZ = std::clamp(1.0 - fz / (pixelZ * 0.9 + 0.02), 0.0, 1.0);
      const double fade = std::exp(-(depth - 1) / 6.0) * (0.15 + 0.85 * quiet(x, y));
      c.Add(x, y, gridColour * static_cast<float>(std::max(lineX, lineZ) * fade * 0.55));
    }
  }
  // The horizon glows.
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) {
      const double d = (y + 0.5 - horizon) / (y < horizon ? 38.0 : 10.0);
      const double across = 0.55 + 0.45 * std::exp(-std::pow((x - 320) / 260.0, 2));
      c.Add(x, y, Srgb(120, 50, 170) * static_cast<float>(0.55 * std::exp(-d * d) * across * (0.35 + 0.65 * quiet(x, y))));
    }
  }
  for (int x = 0; x < c.Width(); ++x)
    c.Blend(x, static_cast<int>(horizon), Srgb(255, 150, 240), static_cast<float>(0.55 * (0.3 + 0.7 * quiet(x, horizon))));
  // Blocks of the five colours tumbling at both sides, a ball between them.
  Block2D(c, {74, 58}, 96, 48, -0.18, kBlue);
  Block2D(c, {568, 56}, 96, 48, 0.22, kRed);
  Block2D(c, {118, 236}, 96, 48, 0.12, kGreen);
  Block2D(c, {536, 264}, 96, 48, -0.10, kPurple);
  Block2D(c, {70, 392}, 96, 48, 0.30, kSilver);
  Block2D(c, {590, 420}, 96, 48, -0.26, kBlue);
  Ball2D(c, {512, 366}, 11, {430, 470});
  return c;
}

Canvas PaintRanking() {
  Canvas c(kScreenWidth, kScreenHeight);
  VerticalGradient(c, {{0.0, Srgb(22, 52, 132)}, {0.5, Srgb(14, 32, 92)}, {1.0, Srgb(6, 14, 48)}});
  // Soft rays from above the heading.
  const Point source{320, -60};
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) {
      const double a = std::atan2(y - source.y, x - source.x);
      const double ray = std::pow(0.5 + 0.5 * std::cos(a * 22), 6);
      const double fall = std::exp(-std::hypot(x - source.x, y - source.y) / 330.0);
      c.Add(x, y, Srgb(120, 170, 255) * static_cast<float>(0.22 * ray * fall));
    }
  }
  // The heading (letters at y 60..110, x 180..460) sits in its own shade
  // between two laurel branches.
  for (int y = 0; y < 180; ++y)
    for (int x = 100; x < 540; ++x) {
      const double d = std::hypot((x - 320) / 190.0, (y - 86) / 48.0);
      c.At(x, y) = c.At(x, y) * static_cast<float>(1 - 0.55 * std::exp(-d * d * 1.5));
    }
  for (int side : {-1, 1}) Laurel(c, {320 + side * 135.0, 88}, 60, side);
  // Glints in the corners.
  Random random(31);
  for (int i = 0; i < 40; ++i) {
    const double x = random.Range(0, 640), y = random.Range(0, 480);
    if (Outside(x, y, 30, 40, 610, 445, 6) < 1) continue;
    const double s = random.Range(2, 6);
    c.Line({x - s, y}, {x + s, y}, 1.0, Srgb(200, 220, 255), 0.6f);
    c.Line({x, y - s}, {x, y + s}, 1.0, Srgb(200, 220, 255), 0.6f);
    c.Glow({x, y}, s * 0.5, Srgb(120, 150, 255) * 0.3f);
  }
  // The panel under the table rows (y 140..340, x 60..600).
  std::vector<Point> panel;
  const double x0 = 26, y0 = 128, x1 = 614, y1 = 344, r = 12;
  for (int corner = 0; corner < 4; ++corner) {
    const double cx = corner == 0 || corner == 3 ? x0 + r : x1 - r;
    const double cy = corner < 2 ? y0 + r : y1 - r;
    for (int k = 0; k <= 6; ++k) {
      const double a = kPi + corner * kPi / 2 + k * kPi / 12;
      panel.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
  }
  c.FillPolygon(panel, Srgb(4, 10, 34), 0.72f);
  for (int i = 1; i < 10; i += 2)
    c.FillPolygon({{x0 + 6, 140.0 + 20 * i}, {x1 - 6, 140.0 + 20 * i}, {x1 - 6, 160.0 + 20 * i}, {x0 + 6, 160.0 + 20 * i}},
                  Srgb(60, 100, 200), 0.12f);
  for (size_t i = 0; i < panel.size(); ++i)
    c.Line(panel[i], panel[(i + 1) % panel.size()], 1.3, Srgb(130, 170, 255), 0.55f);
  for (double x : {120.0, 408.0}) c.Line({x, 138}, {x, 334}, 1.0, Srgb(130, 170, 255), 0.18f);
  return c;
}

Canvas PaintReplaySelect() {
  Canvas c(kScreenWidth, kScreenHeight);
  VerticalGradient(c, {{0.0, Srgb(6, 10, 20)}, {0.5, Srgb(4, 8, 16)}, {1.0, Srgb(2, 3, 8)}});
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      c.Add(x, y, Srgb(20, 40, 70) * static_cast<float>(0.5 * FractalNoise(x / 120.0, y / 120.0, 4, 41) *
                                                       std::exp(-std::pow((y - 240) / 260.0, 2))));
  // Film strips at both sides; the frames carry the block colours.
  const Rgb frames[] = {kBlue, kGreen, kPurple, kRed, kSilver};
  for (double left : {16.0, 552.0}) {
    c.FillPolygon({{left, 0}, {left + 72, 0}, {left + 72, 480}, {left, 480}}, Srgb(26, 26, 32));
    for (int i = 0; i < 16; ++i) {
      const double y = i * 32 - 6.0 + (left > 300 ? 16 : 0);
      for (double hx : {left + 4.0, left + 62.0})
        c.FillPolygon({{hx, y + 4}, {hx + 6, y + 4}, {hx + 6, y + 14}, {hx, y + 14}}, Srgb(2, 2, 4));
      const Rgb tint = frames[(i + (left > 300 ? 2 : 0)) % 5];
      // Each frame a moment of a game: a block, the ball and the bar.
      c.FillPolygon({{left + 15, y + 1}, {left + 57, y + 1}, {left + 57, y + 28}, {left + 15, y + 28}},
                    Mix(Srgb(14, 16, 24), tint, 0.04f));
      const double shift = ((i * 7) % 5) * 3.0;
      c.FillPolygon({{left + 22 + shift, y + 5}, {left + 36 + shift, y + 5}, {left + 36 + shift, y + 10}, {left + 22 + shift, y + 10}},
                    tint * 0.45f);
      c.Disc({left + 30 + ((i * 11) % 7) * 3.0, y + 14 + (i % 3) * 2.0}, 1.6, Srgb(150, 150, 160));
      c.FillPolygon({{left + 26 + shift, y + 23}, {left + 40 + shift, y + 23}, {left + 40 + shift, y + 25}, {left + 26 + shift, y + 25}},
                    Srgb(90, 100, 120));
    }
  }
  // A line under the heading "Select Replay" (y 40..72).
  for (int x = 150; x < 490; ++x) {
    const float k = static_cast<float>(std::exp(-std::pow((x - 320) / 110.0, 2)));
    c.Blend(x, 86, Srgb(80, 150, 255), 0.8f * k);
    c.Add(x, 85, Srgb(30, 60, 120) * (0.4f * k));
    c.Add(x, 87, Srgb(30, 60, 120) * (0.4f * k));
  }
  auto rounded = [](double x0, double y0, double x1, double y1, double r) {
    std::vector<Point> shape;
    for (int corner = 0; corner < 4; ++corner) {
      const double cx = corner == 0 || corner == 3 ? x0 + r : x1 - r;
      const double cy = corner < 2 ? y0 + r : y1 - r;
      for (int k = 0; k <= 6; ++k) {
        const double a = kPi + corner * kPi / 2 + k * kPi / 12;
        shape.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
      }
    }
    return shape;
  };
  // The list (heads at y 120, rows at y 160..360, x 140..500).
  const auto panel = rounded(112, 106, 528, 372, 10);
  c.FillPolygon(panel, Srgb(8, 14, 28), 0.85f);
  c.FillPolygon({{118, 114}, {522, 114}, {522, 144}, {118, 144}}, Srgb(20, 34, 60), 0.6f);
  for (size_t i = 0; i < panel.size(); ++i) c.Line(panel[i], panel[(i + 1) % panel.size()], 1.2, Srgb(60, 110, 190), 0.6f);
  // The plate of "[ Back to Title ]" (its click box is x 260..380, y 400..420).
  const auto plate = rounded(222, 394, 418, 426, 14);
  c.FillPolygon(plate, Srgb(12, 16, 26), 0.9f);
  for (size_t i = 0; i < plate.size(); ++i) c.Line(plate[i], plate[(i + 1) % plate.size()], 1.0, Srgb(120, 110, 40), 0.5f);
  return c;
}

Canvas PaintFloor() {
  Canvas c(kFloorSize, kFloorSize);
  const double unitsPerPixel = 60.0 / kFloorSize;
  const double tile = 4.4;  // one block column
  Random random(57);
  std::vector<float> shade(64 * 64);
  for (float& s : shade) s = static_cast<float>(random.Range(0.82, 1.12));
  for (int py = 0; py < kFloorSize; ++py) {
    for (int px = 0; px < kFloorSize; ++px) {
      const double x = (px + 0.5) * unitsPerPixel - 30, z = 30 - (py + 0.5) * unitsPerPixel;
      const double tx = (x + 2.2) / tile, tz = z / tile;
      const int ix = static_cast<int>(std::floor(tx)) & 63, iz = static_cast<int>(std::floor(tz)) & 63;
      const double gx = std::fabs(tx - std::round(tx)) * tile, gz = std::fabs(tz - std::round(tz)) * tile;
      const double grout = std::clamp(1.0 - (std::min(gx, gz) - 0.06) / unitsPerPixel, 0.0, 1.0);
      const double grain = FractalNoise(x / 3.0, z / 3.0, 4, 77);
      Rgb colour = Srgb(34, 38, 54) * (shade[static_cast<size_t>(iz) * 64 + ix] * static_cast<float>(0.8 + 0.4 * grain));
      // A faint sheen across each tile, as if polished.
      const double fxTile = tx - std::floor(tx), fzTile = tz - std::floor(tz);
      colour = colour * static_cast<float>(0.92 + 0.16 * (1 - std::fabs(fxTile + fzTile - 1)));
      colour = Mix(colour, Srgb(10, 11, 18), static_cast<float>(grout));
      // Glowing lines just inside the side walls, and a dimmer one under the bar.
      for (double side : {-22.0, 22.0}) {
        const double d = std::fabs(x - side);
        colour = colour + Srgb(40, 200, 255) * static_cast<float>(0.55 * std::exp(-d * d / 0.04) + 0.08 * std::exp(-d / 0.8));
      }
      if (std::fabs(x) < 22) {
        const double d = std::fabs(z);
        colour = colour + Srgb(255, 120, 40) * static_cast<float>(0.10 * std::exp(-d * d / 0.05));
      }
      c.At(px, py) = colour;
    }
  }
  return c;
}

}  // namespace quadrel::assetgen
