#include "platform/audio/WaveImage.hpp"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "files/SafeFile.hpp"
#include "base/IoResult.hpp"

namespace quadrel::io {
namespace {

// The mixer keeps a sound's length in an int: larger images cannot play,
// and a damaged file announcing such a length must not make us allocate it.
constexpr double kMaxDataLength = double(INT_MAX) - double(kWaveHeaderSize);

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

void WriteWaveHeader(uint8_t* image, int channels, long rate, uint32_t dataLength) {
  const uint32_t ch = static_cast<uint32_t>(channels);
  const uint32_t hz = static_cast<uint32_t>(rate);
  std::memcpy(image + 0, "RIFF", 4);
  Put32(image + 4, dataLength + 38);
  std::memcpy(image + 8, "WAVE", 4);
  std::memcpy(image + 12, "fmt ", 4);
  Put32(image + 16, 18);
  Put16(image + 20, 1);  // PCM
  Put16(image + 22, ch);
  Put32(image + 24, hz);
  Put32(image + 28, hz * ch * 2);
  Put16(image + 32, ch * 2);
  Put16(image + 34, 16);
  Put16(image + 36, 0);
  std::memcpy(image + 38, "data", 4);
  Put32(image + 42, dataLength);
}

int32_t DecodeOggFile(const char* path, WaveImage& image) {
  image = WaveImage{};
  std::string error;
  files::ReadableFile checked = files::ReadableFile::Open(path, files::FileKind::Sound, &error);
  std::FILE* file = checked.ToStream();
  if (!file) {
    files::WarnFileProblem(path, error.empty() ? "cannot open" : error);
    return kFail;
  }
  OggVorbis_File vf;
  if (ov_open(file, &vf, nullptr, 0) != 0) {
    std::fclose(file);  // a failed open leaves the file to us
    return kFail;
  }
  // From here ov_clear closes the file.
  const vorbis_info* info = ov_info(&vf, -1);
  if (!info || info->channels < 1 || info->rate < 1) {
    ov_clear(&vf);
    return kFail;
  }
  const int channels = info->channels;
  const long rate = info->rate;
  const double wanted = std::ceil(ov_time_total(&vf, -1) * double(rate) * channels * 2);
  if (!(wanted >= 0.0) || wanted > kMaxDataLength) {
    ov_clear(&vf);
    return kFail;
  }
  const size_t capacity = static_cast<size_t>(wanted);
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[capacity + kWaveHeaderSize]);
  if (!bytes) {
    ov_clear(&vf);
    return kFail;
  }

  size_t decoded = 0;
  for (;;) {
    const int room = static_cast<int>(std::min<size_t>(capacity - decoded, INT_MAX));
    int section = 0;
    const long got = ov_read(&vf, reinterpret_cast<char*>(bytes.get() + kWaveHeaderSize + decoded),
                             room, 0 /* little-endian */, 2, 1 /* signed */, &section);
    if (got == 0) break;
    if (got < 0) {
      ov_clear(&vf);
      return kFail;
    }
    decoded += static_cast<size_t>(got);
  }
  ov_clear(&vf);

  // The stream may end before its announced length: the image holds what
  // was decoded, not the capacity.
  WriteWaveHeader(bytes.get(), channels, rate, static_cast<uint32_t>(decoded));
  image.bytes = std::move(bytes);
  image.size = decoded + kWaveHeaderSize;
  return kOk;
}

}  // namespace quadrel::io
