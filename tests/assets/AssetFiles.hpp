// Readers for the generated asset files, written independently of the
// generator so that the tests check the files rather than the code that made them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quadrel::assettest {

std::filesystem::path RuntimeDir();  // where the build put model/, texture/, sound/
std::string ReadBytes(const std::filesystem::path& path);

struct DdsPicture {
  uint32_t headerSize = 0, flags = 0, height = 0, width = 0, pitch = 0, mipCount = 0;
  uint32_t formatSize = 0, formatFlags = 0, fourCc = 0, bitCount = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0, caps = 0;
  std::vector<uint32_t> pixels;  // level 0, 0xAARRGGBB, top row first
};
// Empty error on success; only uncompressed 32-bit pictures are decoded.
DdsPicture ReadDds(const std::string& bytes, std::string& error);

struct WaveSound {
  uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
  uint32_t rate = 0, byteRate = 0;
  std::vector<int16_t> samples;  // interleaved
};
WaveSound ReadWave(const std::string& bytes, std::string& error);

struct OggSound {
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;  // interleaved
};
OggSound DecodeOgg(const std::filesystem::path& path, std::string& error);

}  // namespace quadrel::assettest
