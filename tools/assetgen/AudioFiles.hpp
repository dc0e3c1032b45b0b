// Writing sampled sound: 16-bit PCM WAVE files and Ogg Vorbis files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::assetgen {

inline constexpr int kSampleRate = 44100;

// Samples are -1..1 floats; channels are interleaved when there are several.
std::string EncodeWave(const std::vector<float>& samples, int channels, int rate);

// Quality is libvorbis's VBR quality (-0.1..1). The stream serial number is
// fixed by the caller so that the same sound always gives the same file.
std::string EncodeOggVorbis(const std::vector<float>& left, const std::vector<float>& right, int rate,
                            float quality, int serial);

}  // namespace quadrel::assetgen
