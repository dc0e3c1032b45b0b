#include "platform/render/FontFace.hpp"

#include <cstring>
#include <vector>

#include "files/SafeFile.hpp"

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

FontFace::~FontFace() { Close(); }

void FontFace::Close() {
  glyphs_ = {};
  atlas_.clear();
  atlasWidth_ = atlasHeight_ = cellHeight_ = topPad_ = 0;
}

namespace {

constexpr char kGlyphMagic[8] = {'Q', 'G', 'L', 'Y', 'P', 'H', 'S', '1'};
constexpr int kGlyphFields = 7;
constexpr size_t kGlyphHeader = sizeof kGlyphMagic + 4 * 4 + 256 * kGlyphFields * 4;
constexpr int kMaxAtlasSide = 4096;

void Put32(std::vector<uint8_t>& out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

int32_t Get32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

}  // namespace

std::string FontFace::GlyphFileName(int height, int weight, bool italic) {
  return "./font/glyphs-" + std::to_string(height) + (weight >= 600 ? "-bold" : "") +
         (italic ? "-italic" : "") + ".bin";
}

std::vector<uint8_t> FontFace::SaveGlyphs() const {
  std::vector<uint8_t> out(kGlyphMagic, kGlyphMagic + sizeof kGlyphMagic);
  for (int v : {cellHeight_, topPad_, atlasWidth_, atlasHeight_}) Put32(out, v);
  for (const Glyph& g : glyphs_)
    for (int v : {int(g.present), g.atlasX, g.atlasY, g.width, g.height, g.offsetX, g.advance})
      Put32(out, v);
  out.insert(out.end(), atlas_.begin(), atlas_.end());
  return out;
}

bool FontFace::LoadGlyphs(const std::vector<uint8_t>& bytes, std::string* error) {
  Close();
  auto fail = [&](const char* why) {
    Close();
    if (error) *error = why;
    return false;
  };
  if (bytes.size() < kGlyphHeader || std::memcmp(bytes.data(), kGlyphMagic, sizeof kGlyphMagic) != 0)
    return fail("not a glyph file");
  const uint8_t* p = bytes.data() + sizeof kGlyphMagic;
  const int cell = Get32(p), pad = Get32(p + 4), w = Get32(p + 8), h = Get32(p + 12);
  if (cell <= 0 || cell > 512 || pad < 0 || pad > cell || w <= 0 || h <= 0 || w > kMaxAtlasSide ||
      h > kMaxAtlasSide || bytes.size() != kGlyphHeader + size_t(w) * size_t(h))
    return fail("glyph file sizes do not match");
  p += 16;
  for (Glyph& g : glyphs_) {
    int v[kGlyphFields];
    for (int& x : v) {
      x = Get32(p);
      p += 4;
    }
    g = Glyph{v[0] != 0, v[1], v[2], v[3], v[4], v[5], v[6]};
    // A glyph outside the atlas would draw from memory beyond it.
    if (g.present && (g.atlasX < 0 || g.atlasY < 0 || g.width < 0 || g.height < 0 ||
                      g.atlasX + g.width > w || g.atlasY + g.height > h || g.advance < -512 ||
                      g.advance > 512 || g.offsetX < -512 || g.offsetX > 512))
      return fail("a glyph lies outside the atlas");
  }
  cellHeight_ = cell;
  topPad_ = pad;
  atlasWidth_ = w;
  atlasHeight_ = h;
  atlas_.assign(p, bytes.data() + bytes.size());
  return true;
}

int FontFace::TextWidth(const char* text) const {
  int w = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    w += glyphs_[*p].advance;
  return w;
}

TextPlacement FontFace::Place(const char* text, int x, int y, uint32_t format) const {
  TextPlacement p{};
  p.width = TextWidth(text);
  p.height = cellHeight_;
  // A zero-size rectangle at (x, y): centring splits the negative slack.
  if (format & kTextCenter) p.left = x + (0 - p.width) / 2;
  else if (format & kTextRight) p.left = x - p.width;
  else p.left = x;
  p.top = (format & kTextVCenter) ? y + (0 - p.height) / 2 : y;
  p.top += topPad_;
  return p;
}

}  // namespace quadrel::render
