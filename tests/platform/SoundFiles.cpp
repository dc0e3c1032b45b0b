#include "SoundFiles.hpp"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/audio/WaveImage.hpp"

namespace quadrel::io::test {
namespace {

bool WritePage(std::FILE* file, const ogg_page& page) {
  return std::fwrite(page.header, 1, size_t(page.header_len), file) == size_t(page.header_len) &&
         std::fwrite(page.body, 1, size_t(page.body_len), file) == size_t(page.body_len);
}

}  // namespace

bool WriteOgg(const std::string& path, int channels, long rate, long frames, long announcedExtra) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
    vorbis_info_clear(&vi);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool ok = file != nullptr;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ok && ogg_stream_flush(&os, &page)) ok = WritePage(file, page);

  auto drain = [&] {
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        // The last packet's position is the stream's announced length.
        if (packet.e_o_s) packet.granulepos += announcedExtra;
        ogg_stream_packetin(&os, &packet);
        // A page per packet: the last page's position then stands alone
        // (on a stream's only page it would be read as a start offset).
        while (ok && ogg_stream_flush(&os, &page)) ok = WritePage(file, page);
      }
    }
  };
  for (long done = 0; ok && done < frames;) {
    const long n = std::min(1024L, frames - done);
    float** buffer = vorbis_analysis_buffer(&vd, int(n));
    for (long i = 0; i < n; ++i) {
      const float v = 0.3f * std::sin(2.0f * 3.14159265f * 440.0f * float(done + i) / float(rate));
      for (int c = 0; c < channels; ++c) buffer[c][i] = v;
    }
    vorbis_analysis_wrote(&vd, int(n));
    done += n;
    drain();
  }
  vorbis_analysis_wrote(&vd, 0);
  drain();
  while (ok && ogg_stream_flush(&os, &page)) ok = WritePage(file, page);

  if (file) ok = (std::fclose(file) == 0) && ok;
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return ok;
}

bool WriteConstantWave(const std::string& path, int channels, long rate, long frames, int16_t value) {
  const size_t dataLength = size_t(frames) * size_t(channels) * 2;
  std::vector<uint8_t> image(kWaveHeaderSize + dataLength);
  WriteWaveHeader(image.data(), channels, rate, uint32_t(dataLength));
  for (size_t i = kWaveHeaderSize; i < image.size(); i += 2) {
    image[i] = uint8_t(uint16_t(value) & 0xFF);
    image[i + 1] = uint8_t(uint16_t(value) >> 8);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  return (std::fclose(file) == 0) && written;
}

std::string MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quadrel-io-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

void RemoveFolder(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace quadrel::io::test
