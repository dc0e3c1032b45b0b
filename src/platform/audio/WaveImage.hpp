// Music decoded whole into a RIFF/WAVE file held in memory: a 46-byte
// header (an 18-byte format chunk) followed by interleaved 16-bit signed
// little-endian PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quadrel::io {

constexpr size_t kWaveHeaderSize = 46;

struct WaveImage {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;  // header + data actually decoded

  uint32_t DataLength() const { return size >= kWaveHeaderSize ? uint32_t(size - kWaveHeaderSize) : 0; }
};

// Writes the header at image[0..45].
void WriteWaveHeader(uint8_t* image, int channels, long rate, uint32_t dataLength);

// Decodes an Ogg Vorbis file. The buffer is sized from the stream's announced
// length; the image covers only what was decoded. kOk or kFail.
int32_t DecodeOggFile(const char* path, WaveImage& image);

}  // namespace quadrel::io
