// Reads a screenshot and reports where pixels of one kind are inside a
// rectangle, for end-to-end tests that watch the real program:
//   quadrel-screen-probe IMAGE X0 Y0 X1 Y1 orange|white|yellow|red|blue
// prints "COUNT CENTRE_X CENTRE_Y" (centre -1 -1 when none).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stb/stb_image.h"

namespace {

bool Matches(const char* kind, const unsigned char* p) {
  const int r = p[0], g = p[1], b = p[2];
  if (std::strcmp(kind, "orange") == 0) return r > 200 && g > 70 && g < 200 && b < 100;
  if (std::strcmp(kind, "white") == 0) return r > 215 && g > 215 && b > 215;
  // Also a half-transparent yellow text over the dark scenes.
  if (std::strcmp(kind, "yellow") == 0) return r > 140 && g > 140 && b < 70 && std::abs(r - g) < 50;
  // Pure red text; the lit red blocks are never this saturated.
  if (std::strcmp(kind, "red") == 0) return r > 230 && g < 25 && b < 25;
  if (std::strcmp(kind, "blue") == 0) return r < 80 && g < 130 && b > 170;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: quadrel-screen-probe IMAGE X0 Y0 X1 Y1 orange|white|yellow|red|blue\n");
    return 2;
  }
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(argv[1], &w, &h, &n, 3);
  if (!pixels) {
    std::fprintf(stderr, "%s: %s\n", argv[1], stbi_failure_reason());
    return 1;
  }
  const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]);
  const int x1 = std::atoi(argv[4]), y1 = std::atoi(argv[5]);
  long count = 0, sx = 0, sy = 0;
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < h; ++y) {
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < w; ++x) {
      if (!Matches(argv[6], pixels + (static_cast<size_t>(y) * w + x) * 3)) continue;
      ++count;
      sx += x;
      sy += y;
    }
  }
  stbi_image_free(pixels);
  if (count == 0) {
    std::printf("0 -1 -1\n");
  } else {
    std::printf("%ld %ld %ld\n", count, sx / count, sy / count);
  }
  return 0;
}
