// The replay viewer's pictures drawn natively, for comparison with the
// browser's: the same Viewer core on the game's OpenGL renderer under Xvfb.
//   quadrel-viewer-frames RUNTIME_DIR REPLAY OUT_DIR STEP...   writes OUT_DIR/native-STEP.png
//   quadrel-viewer-frames --compare A.png B.png TOLERANCE       per-pixel comparison
#include <SDL.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Viewer.hpp"
#include "XvfbDisplay.hpp"
#include "files/SafeFile.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"

namespace fs = std::filesystem;
using namespace quadrel;

namespace {

// Prints the largest channel difference and how many pixels differ by more
// than the tolerance in any channel; 0 when at most 1% do (triangle edges the
// two rasterisers put on different sides).
int Compare(const char* a, const char* b, int tolerance) {
  int wa = 0, ha = 0, wb = 0, hb = 0, n = 0;
  stbi_uc* pa = stbi_load(a, &wa, &ha, &n, 3);
  stbi_uc* pb = stbi_load(b, &wb, &hb, &n, 3);
  if (!pa || !pb) {
    std::fprintf(stderr, "cannot read %s\n", !pa ? a : b);
    return 2;
  }
  // The browser's picture may be larger (the page around the canvas): its
  // top-left 640 x 480 is the canvas.
  if (wb < 640 || hb < 480 || wa < 640 || ha < 480) {
    std::fprintf(stderr, "pictures smaller than 640 x 480\n");
    return 2;
  }
  int worst = 0;
  long over = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      int d = 0;
      for (int c = 0; c < 3; ++c)
        d = std::max(d, std::abs(int(pa[(size_t(y) * wa + x) * 3 + c]) - int(pb[(size_t(y) * wb + x) * 3 + c])));
      worst = std::max(worst, d);
      if (d > tolerance) ++over;
    }
  stbi_image_free(pa);
  stbi_image_free(pb);
  std::printf("worst channel difference %d, pixels beyond %d: %ld of 307200 (%.3f%%)\n", worst, tolerance,
              over, 100.0 * double(over) / 307200.0);
  return over * 100 <= 307200 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--compare") return Compare(argv[2], argv[3], std::atoi(argv[4]));
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s RUNTIME_DIR REPLAY OUT_DIR STEP...\n", argv[0]);
    return 2;
  }
  const fs::path runtime = fs::absolute(argv[1]), out = fs::absolute(argv[3]);
  std::vector<uint8_t> replay;
  std::string error;
  if (!files::ReadWholeFile(argv[2], files::FileKind::Replay, replay, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  testing::XvfbDisplay display;
  if (!display.Ok() || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  SDL_Window* window = render::CreateGameWindow(false, true);
  if (!window) return 1;
  int status = 0;
  {
    render::GlGraphics graphics(window);
    fs::create_directories(out);
    fs::current_path(runtime);  // the models name their files from here
    Viewer viewer;
    if (graphics.InitDirect3D(0) < 0 || viewer.LoadView(graphics) < 0 ||
        !viewer.Open(replay.data(), replay.size(), &error)) {
      std::fprintf(stderr, "cannot start: %s\n", error.c_str());
      return 1;
    }
    for (int i = 4; i < argc; ++i) {
      viewer.Seek(std::atoll(argv[i]));
      viewer.Draw(graphics);
      const std::vector<uint8_t> picture = graphics.ReadPicture();
      const std::string file = (out / ("native-" + std::string(argv[i]) + ".png")).string();
      if (!stbi_write_png(file.c_str(), 640, 480, 4, picture.data(), 640 * 4)) status = 1;
    }
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return status;
}
