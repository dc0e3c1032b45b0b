// The effects as 16-bit 44.1 kHz WAVE files, the music through libvorbisfile
// as the game decodes it, and the joins between intro, loop and loop again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "AssetFiles.hpp"

namespace quadrel::assettest {
namespace {

WaveSound LoadWave(const char* name) {
  std::string error;
  WaveSound w = ReadWave(ReadBytes(RuntimeDir() / "sound" / name), error);
  EXPECT_EQ(error, "") << name;
  return w;
}

OggSound LoadOgg(const char* name) {
  std::string error;
  OggSound s = DecodeOgg(RuntimeDir() / "sound" / name, error);
  EXPECT_EQ(error, "") << name;
  return s;
}

int Peak(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t v : samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

// Zero crossings per second: a rough measure of how high a sound is.
double CrossingRate(const WaveSound& w) {
  int crossings = 0;
  for (size_t i = 1; i < w.samples.size(); ++i) crossings += (w.samples[i - 1] < 0) != (w.samples[i] < 0);
  return crossings * 44100.0 / w.samples.size();
}

// The mean step between neighbouring samples of one channel among samples
// [from, to): how much the music moves by itself around a join.
double MeanStep(const OggSound& s, int channel, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from + 1; i < to; ++i)
    sum += std::abs(s.samples[i * s.channels + channel] - s.samples[(i - 1) * s.channels + channel]);
  return sum / static_cast<double>(to - from - 1);
}

TEST(Effects, AreShortMono16BitWavesAt44100) {
  for (const char* name : {"bar.wav", "block.wav"}) {
    SCOPED_TRACE(name);
    const WaveSound w = LoadWave(name);
    EXPECT_EQ(w.format, 1);  // PCM
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.blockAlign, 2);
    EXPECT_EQ(w.byteRate, 88200u);
    const double seconds = w.samples.size() / 44100.0;
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 0.5);
    // Loud enough to hear over the music, not clipped, and silent at both
    // ends so that starting and stopping make no click.
    EXPECT_GT(Peak(w.samples), 16000);
    EXPECT_LT(Peak(w.samples), 32767);
    ASSERT_FALSE(w.samples.empty());
    EXPECT_LT(std::abs(w.samples.front()), 500);
    EXPECT_LT(std::abs(w.samples.back()), 500);
  }
}

TEST(Effects, BarAndBlockSoundDifferent) {
  // The block's tink sits well above the bar's pock.
  EXPECT_GT(CrossingRate(LoadWave("block.wav")), 2.0 * CrossingRate(LoadWave("bar.wav")));
}

TEST(Music, DecodesAsStereoAt44100WithTheRightLengths) {
  const OggSound intro = LoadOgg("bgm_1.ogg"), loop = LoadOgg("bgm_2.ogg");
  for (const OggSound* s : {&intro, &loop}) {
    EXPECT_EQ(s->rate, 44100);
    EXPECT_EQ(s->channels, 2);
  }
  const double introSeconds = intro.samples.size() / 2 / 44100.0, loopSeconds = loop.samples.size() / 2 / 44100.0;
  EXPECT_GE(introSeconds, 2.0);
  EXPECT_LE(introSeconds, 8.0);
  EXPECT_GE(loopSeconds, 20.0);
  EXPECT_LE(loopSeconds, 40.0);
}

TEST(Music, IsNeitherClippedNorFaint) {
  for (const char* name : {"bgm_1.ogg", "bgm_2.ogg"}) {
    SCOPED_TRACE(name);
    const OggSound s = LoadOgg(name);
    ASSERT_FALSE(s.samples.empty());
    EXPECT_LT(Peak(s.samples), 32000);
    double sum = 0;
    for (int16_t v : s.samples) sum += static_cast<double>(v) * v;
    const double rmsDb = 20 * std::log10(std::sqrt(sum / s.samples.size()) / 32768.0);
    EXPECT_GT(rmsDb, -26.0);
    EXPECT_LT(rmsDb, -10.0);
  }
}

// The loop repeats forever and follows the intro: each join may step no
// further than twice what the music steps on average around it, or it clicks.
TEST(Music, LoopJoinsItsOwnStartAndTheIntroWithoutAJump) {
  const OggSound intro = LoadOgg("bgm_1.ogg"), loop = LoadOgg("bgm_2.ogg");
  constexpr size_t kAround = 128;
  const size_t introFrames = intro.samples.size() / 2, loopFrames = loop.samples.size() / 2;
  ASSERT_GT(introFrames, kAround);
  ASSERT_GT(loopFrames, kAround);
  for (int channel = 0; channel < 2; ++channel) {
    SCOPED_TRACE(channel);
    const int first = loop.samples[channel];
    const int last = loop.samples[(loopFrames - 1) * 2 + channel];
    const int introLast = intro.samples[(introFrames - 1) * 2 + channel];
    const double startMoves = MeanStep(loop, channel, 0, kAround);
    const double loopMoves = (startMoves + MeanStep(loop, channel, loopFrames - kAround, loopFrames)) / 2;
    const double introMoves = (startMoves + MeanStep(intro, channel, introFrames - kAround, introFrames)) / 2;
    EXPECT_LE(std::abs(last - first), 2 * loopMoves + 64) << "loop end " << last << " -> start " << first;
    EXPECT_LE(std::abs(introLast - first), 2 * introMoves + 64) << "intro end " << introLast << " -> loop start " << first;
  }
}

}  // namespace
}  // namespace quadrel::assettest
