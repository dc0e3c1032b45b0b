#include "AudioFiles.hpp"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quadrel::assetgen {

namespace {

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8 & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::string EncodeWave(const std::vector<float>& samples, int channels, int rate) {
  if (channels < 1 || samples.size() % channels != 0) throw std::invalid_argument("bad channel layout");
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, static_cast<uint32_t>(channels));
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate * channels * 2));
  Put16(out, static_cast<uint32_t>(channels * 2));
  Put16(out, 16);
  out += "data";
  Put32(out, dataBytes);
  for (float s : samples) {
    const long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
    Put16(out, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xFFFF);
  }
  return out;
}

std::string EncodeOggVorbis(const std::vector<float>& left, const std::vector<float>& right, int rate,
                            float quality, int serial) {
  if (left.size() != right.size()) throw std::invalid_argument("channels of different length");
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, rate, quality) != 0) {
    vorbis_info_clear(&info);
    throw std::runtime_error("the Vorbis encoder refused its settings");
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "Quadrel");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);

  std::string out;
  ogg_page page;
  ogg_packet packet;
  auto appendPage = [&] {
    out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
  };
  {
    ogg_packet header, commentHeader, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codebooks);
    // The audio starts on a fresh page, as players expect.
    while (ogg_stream_flush(&stream, &page) != 0) appendPage();
  }

  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) appendPage();
      }
    }
  };
  constexpr size_t kChunk = 4096;
  for (size_t pos = 0; pos < left.size(); pos += kChunk) {
    const size_t n = std::min(kChunk, left.size() - pos);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
    std::copy_n(left.begin() + static_cast<long>(pos), n, buffer[0]);
    std::copy_n(right.begin() + static_cast<long>(pos), n, buffer[1]);
    vorbis_analysis_wrote(&dsp, static_cast<int>(n));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) appendPage();

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace quadrel::assetgen
