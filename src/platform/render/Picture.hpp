// Pictures and textures from files: DDS read by our own reader (DXT1/3/5 kept
// compressed, 32- and 16-bit RGB layouts, mip levels), any other format
// through stb_image as RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::render {

enum class PixelFormat {
  Rgba8,     // bytes R, G, B, A
  Bgra8,     // A8R8G8B8: bytes B, G, R, A
  Bgrx8,     // X8R8G8B8: bytes B, G, R, unused
  Rgb565,    // R5G6B5, 16-bit little-endian words
  Dxt1,
  Dxt3,
  Dxt5,
};

struct PictureLevel {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> data;
};

struct Picture {
  PixelFormat format = PixelFormat::Rgba8;
  std::vector<PictureLevel> levels;  // level 0 first
  int Width() const { return levels.empty() ? 0 : levels[0].width; }
  int Height() const { return levels.empty() ? 0 : levels[0].height; }
  bool Compressed() const {
    return format == PixelFormat::Dxt1 || format == PixelFormat::Dxt3 || format == PixelFormat::Dxt5;
  }
};

// Reads a DDS (by its signature) or any picture stb_image knows. Rows top first.
bool LoadPicture(const std::string& fileName, Picture& out, std::string* error = nullptr);
bool ParseDds(const uint8_t* data, size_t size, Picture& out, std::string* error = nullptr);
// One level as RGBA bytes, rows top first (decodes DXT blocks).
std::vector<uint8_t> DecodeLevelRgba(const Picture& picture, int level);
// Builds a DDS file of the given format from RGBA pixels (uncompressed formats,
// or DXT1 with one colour per 4 x 4 block average); used by tools and tests.
std::vector<uint8_t> EncodeDds(int width, int height, const std::vector<uint8_t>& rgba,
                               PixelFormat format);

}  // namespace quadrel::render
