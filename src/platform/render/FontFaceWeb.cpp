// The face in the browser: no font files or rasteriser there, so the glyphs
// the native build rasterised (quadrel-glyphs) are read back from the file.
#include "files/SafeFile.hpp"
#include "platform/render/FontFace.hpp"

namespace quadrel::render {

bool FontFace::Open(const std::string& faceName, int height, int weight, bool italic,
                    std::string* error) {
  Close();
  const std::string file = GlyphFileName(height, weight, italic);
  std::vector<uint8_t> bytes;
  std::string reason;
  if (!files::ReadWholeFile(file, files::FileKind::Font, bytes, &reason) ||
      !LoadGlyphs(bytes, &reason)) {
    if (error) *error = faceName + " (" + file + "): " + reason;
    return false;
  }
  file_ = file;
  return true;
}

std::string FontFace::MatchFile(const std::string&, int, bool, int*) { return ""; }

}  // namespace quadrel::render
