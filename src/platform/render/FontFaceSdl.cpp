// The face rasterised on this machine: fontconfig finds the file, SDL_ttf
// draws the glyphs.
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <vector>

#include "files/SafeFile.hpp"
#include "platform/render/FontFace.hpp"
#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

std::string FontFace::MatchFile(const std::string& faceName, int weight, bool italic, int* index) {
  if (!FcInit()) return "";
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      file = reinterpret_cast<const char*>(path);
    int i = 0;
    if (index && FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch) *index = i;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

bool FontFace::Open(const std::string& faceName, int height, int weight, bool italic,
                    std::string* error) {
  Close();
  if (height <= 0) {
    if (error) *error = "bad height";
    return false;
  }
  if (!TTF_WasInit() && TTF_Init() != 0) {
    if (error) *error = TTF_GetError();
    return false;
  }
  int index = 0;
  file_ = MatchFile(faceName, weight, italic, &index);
  if (file_.empty()) {
    if (error) *error = "no font matches " + faceName;
    return false;
  }
  // The largest point size whose cell (ascent + descent) fits the height.
  // Read through the checked opener: a font path is a file like any other.
  std::vector<uint8_t> bytes;
  std::string reason;
  if (!files::ReadWholeFile(file_, files::FileKind::Font, bytes, &reason)) {
    if (error) *error = file_ + ": " + reason;
    return false;
  }
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  TTF_Font* font = rw ? TTF_OpenFontIndexRW(rw, 1, height, index) : nullptr;
  if (!font) {
    if (error) *error = TTF_GetError();
    return false;
  }
  int size = height;
  while (size > 1 && TTF_FontHeight(font) > height) {
    --size;
    TTF_SetFontSize(font, size);
  }
  cellHeight_ = height;
  const int fontHeight = TTF_FontHeight(font);
  const int topPad = (height - fontHeight) / 2;  // centre a cell that came out smaller

  // Render every single-byte character (Latin-1) and pack the cells in rows.
  struct Cell {
    unsigned char c;
    SDL_Surface* surface;
    int offsetX, advance;
  };
  std::vector<Cell> cells;
  const SDL_Color white{255, 255, 255, 255};
  for (int c = 32; c < 256; ++c) {
    if (c >= 127 && c < 160) continue;
    if (!TTF_GlyphIsProvided32(font, static_cast<Uint32>(c))) continue;
    int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
    if (TTF_GlyphMetrics32(font, static_cast<Uint32>(c), &minx, &maxx, &miny, &maxy, &advance) != 0)
      continue;
    SDL_Surface* s = TTF_RenderGlyph32_Blended(font, static_cast<Uint32>(c), white);
    if (!s) continue;
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(s);
    if (!rgba) continue;
    cells.push_back({static_cast<unsigned char>(c), rgba, std::min(0, minx), advance});
  }
  TTF_CloseFont(font);

  atlasWidth_ = 1024;
  int x = 0, y = 0, rowHeight = 0;
  std::vector<std::pair<int, int>> positions;
  for (const Cell& cell : cells) {
    const int w = cell.surface->w + 1, h = cell.surface->h + 1;
    if (x + w > atlasWidth_) {
      x = 0;
      y += rowHeight;
      rowHeight = 0;
    }
    positions.push_back({x, y});
    x += w;
    rowHeight = std::max(rowHeight, h);
  }
  atlasHeight_ = 1;
  while (atlasHeight_ < y + rowHeight) atlasHeight_ *= 2;
  atlas_.assign(size_t(atlasWidth_) * size_t(atlasHeight_), 0);
  for (size_t i = 0; i < cells.size(); ++i) {
    SDL_Surface* s = cells[i].surface;
    Glyph& g = glyphs_[cells[i].c];
    g.present = true;
    g.atlasX = positions[i].first;
    g.atlasY = positions[i].second;
    g.width = s->w;
    g.height = s->h;
    g.offsetX = cells[i].offsetX;
    g.advance = cells[i].advance;
    SDL_LockSurface(s);
    for (int row = 0; row < s->h; ++row) {
      const auto* src = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) +
                                                          size_t(row) * s->pitch);
      uint8_t* dst = &atlas_[size_t(g.atlasY + row) * atlasWidth_ + g.atlasX];
      for (int col = 0; col < s->w; ++col) dst[col] = static_cast<uint8_t>(src[col] >> 24);
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
  }
  // Cells start at the cell top; a face that came out smaller sits centred.
  topPad_ = topPad;
  return true;
}

}  // namespace quadrel::render
