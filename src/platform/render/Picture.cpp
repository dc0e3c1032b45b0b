#include "platform/render/Picture.hpp"

#include <stb_image.h>

#include <algorithm>
#include <cstring>

#include "files/SafeFile.hpp"

namespace quadrel::render {
namespace {

uint32_t Read32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void Write32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = x & 0xFF;
  v[at + 1] = (x >> 8) & 0xFF;
  v[at + 2] = (x >> 16) & 0xFF;
  v[at + 3] = (x >> 24) & 0xFF;
}

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}

constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdsdMipMapCount = 0x20000;

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

// A generic masked layout, converted to BGRA bytes.
struct Masks {
  uint32_t bits, r, g, b, a;
};

uint8_t Extract(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 255;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const uint32_t max = mask >> shift;
  const uint32_t v = (pixel & mask) >> shift;
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

void Rgb565ToRgb(uint16_t c, uint8_t out[3]) {
  out[0] = static_cast<uint8_t>(((c >> 11) & 31) * 255 / 31);
  out[1] = static_cast<uint8_t>(((c >> 5) & 63) * 255 / 63);
  out[2] = static_cast<uint8_t>((c & 31) * 255 / 31);
}

// Decodes one DXT colour block into 16 RGBA pixels.
void DecodeColourBlock(const uint8_t* b, bool dxt1, uint8_t px[16][4]) {
  const uint16_t c0 = uint16_t(b[0] | (b[1] << 8));
  const uint16_t c1 = uint16_t(b[2] | (b[3] << 8));
  uint8_t pal[4][4];
  Rgb565ToRgb(c0, pal[0]);
  Rgb565ToRgb(c1, pal[1]);
  pal[0][3] = pal[1][3] = 255;
  if (!dxt1 || c0 > c1) {
    for (int k = 0; k < 3; ++k) {
      pal[2][k] = static_cast<uint8_t>((2 * pal[0][k] + pal[1][k]) / 3);
      pal[3][k] = static_cast<uint8_t>((pal[0][k] + 2 * pal[1][k]) / 3);
    }
    pal[2][3] = pal[3][3] = 255;
  } else {
    for (int k = 0; k < 3; ++k) {
      pal[2][k] = static_cast<uint8_t>((pal[0][k] + pal[1][k]) / 2);
      pal[3][k] = 0;
    }
    pal[2][3] = 255;
    pal[3][3] = 0;
  }
  const uint32_t bits = Read32(b + 4);
  for (int i = 0; i < 16; ++i) std::memcpy(px[i], pal[(bits >> (2 * i)) & 3], 4);
}

}  // namespace

bool ParseDds(const uint8_t* data, size_t size, Picture& out, std::string* error) {
  if (size < 128 || Read32(data) != FourCC('D', 'D', 'S', ' '))
    return Fail(error, "not a DDS file");
  const uint8_t* h = data + 4;
  if (Read32(h) != 124) return Fail(error, "bad DDS header size");
  const uint32_t flags = Read32(h + 4);
  const int height = static_cast<int>(Read32(h + 8));
  const int width = static_cast<int>(Read32(h + 12));
  uint32_t mips = (flags & kDdsdMipMapCount) ? Read32(h + 24) : 1;
  if (mips == 0) mips = 1;
  const uint32_t pfFlags = Read32(h + 76);
  const uint32_t fourCC = Read32(h + 80);
  const Masks masks{Read32(h + 84), Read32(h + 88), Read32(h + 92), Read32(h + 96),
                    (pfFlags & kDdpfAlphaPixels) ? Read32(h + 100) : 0u};
  if (width <= 0 || height <= 0 || width > files::kPictureDimensionLimit ||
      height > files::kPictureDimensionLimit)
    return Fail(error, "bad DDS size (at most 8192 x 8192)");

  int blockBytes = 0;
  int bytesPerPixel = 0;
  bool convert = false;
  if (pfFlags & kDdpfFourCC) {
    if (fourCC == FourCC('D', 'X', 'T', '1')) {
      out.format = PixelFormat::Dxt1;
      blockBytes = 8;
    } else if (fourCC == FourCC('D', 'X', 'T', '3')) {
      out.format = PixelFormat::Dxt3;
      blockBytes = 16;
    } else if (fourCC == FourCC('D', 'X', 'T', '5')) {
      out.format = PixelFormat::Dxt5;
      blockBytes = 16;
    } else {
      return Fail(error, "unsupported DDS compression");
    }
  } else if (pfFlags & kDdpfRgb) {
    bytesPerPixel = static_cast<int>(masks.bits / 8);
    if (masks.bits == 32 && masks.r == 0xFF0000 && masks.g == 0xFF00 && masks.b == 0xFF) {
      out.format = masks.a == 0xFF000000u ? PixelFormat::Bgra8 : PixelFormat::Bgrx8;
    } else if (masks.bits == 16 && masks.r == 0xF800 && masks.g == 0x07E0 && masks.b == 0x001F &&
               masks.a == 0) {
      out.format = PixelFormat::Rgb565;
    } else if (masks.bits == 16 || masks.bits == 24 || masks.bits == 32) {
      out.format = PixelFormat::Bgra8;
      convert = true;
    } else {
      return Fail(error, "unsupported DDS pixel layout");
    }
  } else {
    return Fail(error, "unsupported DDS pixel format");
  }

  out.levels.clear();
  size_t offset = 128;
  int w = width, hgt = height;
  for (uint32_t level = 0; level < mips; ++level) {
    size_t bytes;
    if (blockBytes)
      bytes = size_t(std::max(1, (w + 3) / 4)) * size_t(std::max(1, (hgt + 3) / 4)) * blockBytes;
    else
      bytes = size_t(w) * size_t(hgt) * size_t(bytesPerPixel);
    if (offset + bytes > size) {
      if (level == 0) return Fail(error, "DDS file is truncated");
      break;  // keep the levels that are complete
    }
    PictureLevel lv;
    lv.width = w;
    lv.height = hgt;
    if (convert) {
      lv.data.resize(size_t(w) * size_t(hgt) * 4);
      for (size_t i = 0; i < size_t(w) * size_t(hgt); ++i) {
        const uint8_t* p = data + offset + i * bytesPerPixel;
        uint32_t px = 0;
        for (int k = 0; k < bytesPerPixel; ++k) px |= uint32_t(p[k]) << (8 * k);
        lv.data[i * 4 + 0] = Extract(px, masks.b);
        lv.data[i * 4 + 1] = Extract(px, masks.g);
        lv.data[i * 4 + 2] = Extract(px, masks.r);
        lv.data[i * 4 + 3] = Extract(px, masks.a);
      }
    } else {
      lv.data.assign(data + offset, data + offset + bytes);
    }
    out.levels.push_back(std::move(lv));
    offset += bytes;
    if (w == 1 && hgt == 1) break;
    w = std::max(1, w / 2);
    hgt = std::max(1, hgt / 2);
  }
  return true;
}

bool LoadPicture(const std::string& fileName, Picture& out, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!files::ReadWholeFile(fileName, files::FileKind::Picture, bytes, error)) return false;
  if (bytes.size() >= 4 && Read32(bytes.data()) == FourCC('D', 'D', 'S', ' '))
    return ParseDds(bytes.data(), bytes.size(), out, error);
  int w = 0, h = 0, n = 0;
  if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n))
    return Fail(error, "unknown picture format");
  if (w <= 0 || h <= 0 || w > files::kPictureDimensionLimit || h > files::kPictureDimensionLimit)
    return Fail(error, "picture larger than 8192 x 8192");
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 4);
  if (!pixels) return Fail(error, "unknown picture format");
  out.format = PixelFormat::Rgba8;
  out.levels.clear();
  PictureLevel lv;
  lv.width = w;
  lv.height = h;
  lv.data.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
  stbi_image_free(pixels);
  out.levels.push_back(std::move(lv));
  return true;
}

std::vector<uint8_t> DecodeLevelRgba(const Picture& picture, int level) {
  const PictureLevel& lv = picture.levels.at(level);
  const int w = lv.width, h = lv.height;
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  switch (picture.format) {
    case PixelFormat::Rgba8:
      rgba = lv.data;
      break;
    case PixelFormat::Bgra8:
    case PixelFormat::Bgrx8:
      for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        rgba[i * 4 + 0] = lv.data[i * 4 + 2];
        rgba[i * 4 + 1] = lv.data[i * 4 + 1];
        rgba[i * 4 + 2] = lv.data[i * 4 + 0];
        rgba[i * 4 + 3] = picture.format == PixelFormat::Bgra8 ? lv.data[i * 4 + 3] : 255;
      }
      break;
    case PixelFormat::Rgb565:
      for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        Rgb565ToRgb(uint16_t(lv.data[i * 2] | (lv.data[i * 2 + 1] << 8)), &rgba[i * 4]);
        rgba[i * 4 + 3] = 255;
      }
      break;
    case PixelFormat::Dxt1:
    case PixelFormat::Dxt3:
    case PixelFormat::Dxt5: {
      const int bw = std::max(1, (w + 3) / 4);
      const int bh = std::max(1, (h + 3) / 4);
      const int blockBytes = picture.format == PixelFormat::Dxt1 ? 8 : 16;
      for (int by = 0; by < bh; ++by)
        for (int bx = 0; bx < bw; ++bx) {
          const uint8_t* b = lv.data.data() + (size_t(by) * bw + bx) * blockBytes;
          uint8_t px[16][4];
          DecodeColourBlock(picture.format == PixelFormat::Dxt1 ? b : b + 8,
                            picture.format == PixelFormat::Dxt1, px);
          if (picture.format == PixelFormat::Dxt3) {
            for (int i = 0; i < 16; ++i) {
              const int nibble = (b[i / 2] >> ((i & 1) * 4)) & 0xF;
              px[i][3] = static_cast<uint8_t>(nibble * 17);
            }
          } else if (picture.format == PixelFormat::Dxt5) {
            const int a0 = b[0], a1 = b[1];
            int pal[8] = {a0, a1};
            if (a0 > a1) {
              for (int k = 1; k < 7; ++k) pal[k + 1] = ((7 - k) * a0 + k * a1) / 7;
            } else {
              for (int k = 1; k < 5; ++k) pal[k + 1] = ((5 - k) * a0 + k * a1) / 5;
              pal[6] = 0;
              pal[7] = 255;
            }
            uint64_t bits = 0;
            for (int k = 0; k < 6; ++k) bits |= uint64_t(b[2 + k]) << (8 * k);
            for (int i = 0; i < 16; ++i) px[i][3] = static_cast<uint8_t>(pal[(bits >> (3 * i)) & 7]);
          }
          for (int i = 0; i < 16; ++i) {
            const int x = bx * 4 + (i & 3), y = by * 4 + (i >> 2);
            if (x < w && y < h) std::memcpy(&rgba[(size_t(y) * w + x) * 4], px[i], 4);
          }
        }
      break;
    }
  }
  return rgba;
}

std::vector<uint8_t> EncodeDds(int width, int height, const std::vector<uint8_t>& rgba,
                               PixelFormat format) {
  std::vector<uint8_t> out(128, 0);
  Write32(out, 0, FourCC('D', 'D', 'S', ' '));
  Write32(out, 4, 124);
  Write32(out, 8, 0x1007);  // caps, height, width, pixel format
  Write32(out, 12, static_cast<uint32_t>(height));
  Write32(out, 16, static_cast<uint32_t>(width));
  Write32(out, 76, 32);
  Write32(out, 108, 0x1000);  // texture
  const size_t n = size_t(width) * size_t(height);
  switch (format) {
    case PixelFormat::Bgra8:
    case PixelFormat::Bgrx8:
    case PixelFormat::Rgba8:
      Write32(out, 80, kDdpfRgb | (format == PixelFormat::Bgrx8 ? 0 : kDdpfAlphaPixels));
      Write32(out, 88, 32);
      Write32(out, 92, 0xFF0000);
      Write32(out, 96, 0xFF00);
      Write32(out, 100, 0xFF);
      Write32(out, 104, format == PixelFormat::Bgrx8 ? 0 : 0xFF000000u);
      for (size_t i = 0; i < n; ++i) {
        out.push_back(rgba[i * 4 + 2]);
        out.push_back(rgba[i * 4 + 1]);
        out.push_back(rgba[i * 4 + 0]);
        out.push_back(format == PixelFormat::Bgrx8 ? 0 : rgba[i * 4 + 3]);
      }
      break;
    case PixelFormat::Rgb565:
      Write32(out, 80, kDdpfRgb);
      Write32(out, 88, 16);
      Write32(out, 92, 0xF800);
      Write32(out, 96, 0x07E0);
      Write32(out, 100, 0x001F);
      for (size_t i = 0; i < n; ++i) {
        const uint16_t c = uint16_t(((rgba[i * 4] >> 3) << 11) | ((rgba[i * 4 + 1] >> 2) << 5) |
                                    (rgba[i * 4 + 2] >> 3));
        out.push_back(c & 0xFF);
        out.push_back(c >> 8);
      }
      break;
    case PixelFormat::Dxt1:
    case PixelFormat::Dxt3:
    case PixelFormat::Dxt5: {
      // DXT1 only, each block filled with its average colour.
      Write32(out, 80, kDdpfFourCC);
      Write32(out, 84, FourCC('D', 'X', 'T', '1'));
      for (int by = 0; by < (height + 3) / 4; ++by)
        for (int bx = 0; bx < (width + 3) / 4; ++bx) {
          int sum[3] = {0, 0, 0}, count = 0;
          for (int y = by * 4; y < std::min(height, by * 4 + 4); ++y)
            for (int x = bx * 4; x < std::min(width, bx * 4 + 4); ++x, ++count)
              for (int k = 0; k < 3; ++k) sum[k] += rgba[(size_t(y) * width + x) * 4 + k];
          const uint16_t c = uint16_t((((sum[0] / count) >> 3) << 11) |
                                      (((sum[1] / count) >> 2) << 5) | ((sum[2] / count) >> 3));
          // c0 = c1 = c with every index 0: the block is that colour.
          out.push_back(c & 0xFF);
          out.push_back(c >> 8);
          out.push_back(c & 0xFF);
          out.push_back(c >> 8);
          for (int k = 0; k < 4; ++k) out.push_back(0);
        }
      break;
    }
  }
  return out;
}

}  // namespace quadrel::render
