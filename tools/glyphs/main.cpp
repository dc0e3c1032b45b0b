// quadrel-glyphs OUTDIR: rasterises the faces the game's texts use, as this
// machine's game draws them, into OUTDIR/font/ for the web replay viewer,
// which has neither font files nor a rasteriser.
#include <cstdio>
#include <filesystem>
#include <string>

#include "files/SafeFile.hpp"
#include "platform/render/FontFace.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quadrel-glyphs OUTDIR\n");
    return 2;
  }
  const std::filesystem::path out = std::filesystem::path(argv[1]) / "font";
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  // The game scene's two faces (GameView::Load).
  for (const int height : {20, 32}) {
    quadrel::render::FontFace face;
    std::string error;
    if (!face.Open("Times New Roman", height, 700, false, &error)) {
      std::fprintf(stderr, "quadrel-glyphs: Times New Roman %d: %s\n", height, error.c_str());
      return 1;
    }
    const std::string name =
        std::filesystem::path(quadrel::render::FontFace::GlyphFileName(height, 700, false)).filename();
    const std::string path = (out / name).string();
    const std::vector<uint8_t> bytes = face.SaveGlyphs();
    if (!quadrel::files::ReplaceFileAtomically(path, bytes.data(), bytes.size(), &error)) {
      std::fprintf(stderr, "quadrel-glyphs: %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
  }
  return 0;
}
