// A TrueType face at one cell height, rasterised once into a glyph atlas
// (one alpha byte per pixel), and the layout of single-byte text on it.
// Natively Open rasterises the face (FontFaceSdl.cpp); in the browser it reads
// the glyph file a native build step saved (FontFaceWeb.cpp), so both draw
// the same pixels.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::render {

struct Glyph {
  bool present = false;
  int atlasX = 0, atlasY = 0;  // top-left in the atlas
  int width = 0, height = 0;   // the glyph's cell picture
  int offsetX = 0;             // its left edge relative to the pen
  int advance = 0;
};

struct TextPlacement {
  int left;  // pen start
  int top;   // top of the text cell
  int width;
  int height;
};

class FontFace {
 public:
  FontFace() = default;
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // faceName matched through fontconfig ("Times New Roman" finds its
  // metric-compatible stand-in); height is the cell height in pixels; weight
  // 700 and above is bold.
  bool Open(const std::string& faceName, int height, int weight, bool italic,
            std::string* error = nullptr);
  void Close();

  // The atlas and metrics as one file, and back; LoadGlyphs checks every
  // size and glyph rectangle against the atlas.
  std::vector<uint8_t> SaveGlyphs() const;
  bool LoadGlyphs(const std::vector<uint8_t>& bytes, std::string* error = nullptr);
  // Where the glyph file of a face at this height and weight lives.
  static std::string GlyphFileName(int height, int weight, bool italic);

  int CellHeight() const { return cellHeight_; }
  const Glyph& GlyphFor(unsigned char c) const { return glyphs_[c]; }
  int AtlasWidth() const { return atlasWidth_; }
  int AtlasHeight() const { return atlasHeight_; }
  const std::vector<uint8_t>& Atlas() const { return atlas_; }
  const std::string& File() const { return file_; }

  // Sum of the advances.
  int TextWidth(const char* text) const;
  // Where text lands for the format (left / centre / right, vertical centre).
  TextPlacement Place(const char* text, int x, int y, uint32_t format) const;

  // The font file fontconfig picks for the face, or "" when none.
  static std::string MatchFile(const std::string& faceName, int weight, bool italic, int* index);

 private:
  std::array<Glyph, 256> glyphs_{};
  std::vector<uint8_t> atlas_;
  int atlasWidth_ = 0, atlasHeight_ = 0;
  int cellHeight_ = 0;
  int topPad_ = 0;
  std::string file_;
};

}  // namespace quadrel::render
