#include "AssetFiles.hpp"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace quadrel::assettest {

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
         static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

}  // namespace

std::filesystem::path RuntimeDir() { return QUADREL_RUNTIME_DIR; }

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DdsPicture ReadDds(const std::string& bytes, std::string& error) {
  DdsPicture p;
  if (bytes.size() < 128 || bytes.compare(0, 4, "DDS ") != 0) {
    error = "no DDS signature";
    return p;
  }
  p.headerSize = Le32(bytes, 4);
  p.flags = Le32(bytes, 8);
  p.height = Le32(bytes, 12);
  p.width = Le32(bytes, 16);
  p.pitch = Le32(bytes, 20);
  p.mipCount = Le32(bytes, 28);
  p.formatSize = Le32(bytes, 76);
  p.formatFlags = Le32(bytes, 80);
  p.fourCc = Le32(bytes, 84);
  p.bitCount = Le32(bytes, 88);
  p.redMask = Le32(bytes, 92);
  p.greenMask = Le32(bytes, 96);
  p.blueMask = Le32(bytes, 100);
  p.alphaMask = Le32(bytes, 104);
  p.caps = Le32(bytes, 108);
  if (p.bitCount != 32 || p.fourCc != 0) {
    error = "not an uncompressed 32-bit picture";
    return p;
  }
  const size_t count = static_cast<size_t>(p.width) * p.height;
  if (p.width == 0 || p.height == 0 || p.width > 8192 || p.height > 8192 || bytes.size() < 128 + count * 4) {
    error = "picture data shorter than its header says";
    return p;
  }
  p.pixels.resize(count);
  for (size_t i = 0; i < count; ++i) p.pixels[i] = Le32(bytes, 128 + 4 * i);
  return p;
}

WaveSound ReadWave(const std::string& bytes, std::string& error) {
  WaveSound w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    error = "no RIFF/WAVE signature";
    return w;
  }
  if (Le32(bytes, 4) != bytes.size() - 8) {
    error = "RIFF length does not match the file";
    return w;
  }
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = Le32(bytes, at + 4);
    if (at + 8 + size > bytes.size()) {
      error = "chunk " + id + " runs past the end";
      return w;
    }
    if (id == "fmt " && size >= 16) {
      w.format = Le16(bytes, at + 8);
      w.channels = Le16(bytes, at + 10);
      w.rate = Le32(bytes, at + 12);
      w.byteRate = Le32(bytes, at + 16);
      w.blockAlign = Le16(bytes, at + 20);
      w.bits = Le16(bytes, at + 22);
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) {
        error = "data before fmt";
        return w;
      }
      for (size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(static_cast<int16_t>(Le16(bytes, at + 8 + i)));
      return w;
    }
    at += 8 + size + (size & 1);
  }
  error = "no data chunk";
  return w;
}

OggSound DecodeOgg(const std::filesystem::path& path, std::string& error) {
  OggSound out;
  OggVorbis_File file;
  if (ov_fopen(path.c_str(), &file) != 0) {
    error = "libvorbisfile cannot open " + path.string();
    return out;
  }
  const vorbis_info* info = ov_info(&file, -1);
  if (!info) {
    error = "no stream information";
    ov_clear(&file);
    return out;
  }
  out.rate = static_cast<int>(info->rate);
  out.channels = info->channels;
  char buffer[16384];
  int section = 0;
  for (;;) {
    const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
    if (got == 0) break;
    if (got < 0) {
      error = "decoding failed";
      break;
    }
    for (long i = 0; i + 1 < got; i += 2)
      out.samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(buffer[i]) | static_cast<uint8_t>(buffer[i + 1]) << 8));
  }
  ov_clear(&file);
  return out;
}

}  // namespace quadrel::assettest
