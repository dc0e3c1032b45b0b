#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "SoundFiles.hpp"
#include "base/Diagnostics.hpp"
#include "platform/dialog/MessageBox.hpp"
#include "platform/audio/MixerSound.hpp"
#include "platform/audio/Sound.hpp"
#include "platform/audio/WaveImage.hpp"

namespace quadrel::io {
namespace {

using namespace std::chrono_literals;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

class TempFolder {
 public:
  TempFolder() : path_(test::MakeTempFolder()) {}
  ~TempFolder() { test::RemoveFolder(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// --- The decoded music image ---

void ExpectHeader(const WaveImage& image, int channels, uint32_t rate, uint32_t dataLength) {
  ASSERT_EQ(image.size, dataLength + kWaveHeaderSize);
  const uint8_t* h = image.bytes.get();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h), 4), "RIFF");
  EXPECT_EQ(Le32(h + 4), dataLength + 38);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 8), 8), "WAVEfmt ");
  EXPECT_EQ(Le32(h + 16), 18u);
  EXPECT_EQ(Le16(h + 20), 1);
  EXPECT_EQ(Le16(h + 22), channels);
  EXPECT_EQ(Le32(h + 24), rate);
  EXPECT_EQ(Le32(h + 28), rate * channels * 2);
  EXPECT_EQ(Le16(h + 32), channels * 2);
  EXPECT_EQ(Le16(h + 34), 16);
  EXPECT_EQ(Le16(h + 36), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 38), 4), "data");
  EXPECT_EQ(Le32(h + 42), dataLength);
}

TEST(WaveImage, MonoAndStereoHeaders) {
  TempFolder dir;
  ASSERT_TRUE(test::WriteOgg(dir / "mono.ogg", 1, 22050, 5000));
  ASSERT_TRUE(test::WriteOgg(dir / "stereo.ogg", 2, 44100, 8000));
  WaveImage mono, stereo;
  ASSERT_EQ(DecodeOggFile((dir / "mono.ogg").c_str(), mono), kOk);
  ASSERT_EQ(DecodeOggFile((dir / "stereo.ogg").c_str(), stereo), kOk);
  ExpectHeader(mono, 1, 22050, 5000 * 2);
  ExpectHeader(stereo, 2, 44100, 8000 * 4);
  // The tone itself came through: not silence.
  int16_t peak = 0;
  for (size_t i = kWaveHeaderSize; i + 1 < stereo.size; i += 2) {
    peak = std::max<int16_t>(peak, int16_t(Le16(stereo.bytes.get() + i)));
  }
  EXPECT_GT(peak, 5000);
}

TEST(WaveImage, StreamShorterThanAnnouncedKeepsTheDecodedLength) {
  TempFolder dir;
  const std::string path = dir / "short.ogg";
  ASSERT_TRUE(test::WriteOgg(path, 2, 44100, 6000, 4000));
  // The file announces 10000 frames; count what it really holds.
  OggVorbis_File vf;
  ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
  EXPECT_NEAR(ov_time_total(&vf, -1) * 44100, 10000, 1);
  long frames = 0;
  float** pcm = nullptr;
  int section = 0;
  for (long n; (n = ov_read_float(&vf, &pcm, 4096, &section)) > 0;) frames += n;
  ov_clear(&vf);
  ASSERT_GE(frames, 6000);
  ASSERT_LT(frames, 10000);

  WaveImage image;
  ASSERT_EQ(DecodeOggFile(path.c_str(), image), kOk);
  ExpectHeader(image, 2, 44100, uint32_t(frames) * 4);
}

TEST(WaveImage, BrokenFilesFail) {
  TempFolder dir;
  WaveImage image;
  EXPECT_EQ(DecodeOggFile((dir / "missing.ogg").c_str(), image), kFail);
  ASSERT_TRUE(test::WriteConstantWave(dir / "not-ogg.ogg", 1, 22050, 100, 7));
  EXPECT_EQ(DecodeOggFile((dir / "not-ogg.ogg").c_str(), image), kFail);
  // A length no image can hold is refused before anything is allocated.
  ASSERT_TRUE(test::WriteOgg(dir / "huge.ogg", 2, 44100, 3000, 1L << 40));
  EXPECT_EQ(DecodeOggFile((dir / "huge.ogg").c_str(), image), kFail);
  EXPECT_EQ(image.size, 0u);
}

// --- Playing through SDL_mixer on the dummy driver ---

// Watches the mixed output: which levels followed one another, and whether a
// silent frame fell between the first sound and the stop.
class OutputMonitor {
 public:
  void Install() { Mix_SetPostMix(&OutputMonitor::PostMix, this); }
  void Remove() { Mix_SetPostMix(nullptr, nullptr); }

  void Reset() {
    std::lock_guard lock(mutex_);
    levels_.clear();
    framesAt_.clear();
    gaps_ = 0;
    loud_ = 0;
  }
  // From now on silence is expected: count only sound.
  void ExpectSilence(bool on) {
    std::lock_guard lock(mutex_);
    silenceExpected_ = on;
    loud_ = 0;
  }
  std::vector<int> Levels() {
    std::lock_guard lock(mutex_);
    return levels_;
  }
  long FramesAt(int level) {
    std::lock_guard lock(mutex_);
    const auto it = framesAt_.find(level);
    return it == framesAt_.end() ? 0 : it->second;
  }
  long Gaps() {
    std::lock_guard lock(mutex_);
    return gaps_;
  }
  long Loud() {
    std::lock_guard lock(mutex_);
    return loud_;
  }

 private:
  static void SDLCALL PostMix(void* self, Uint8* stream, int len) {
    static_cast<OutputMonitor*>(self)->See(reinterpret_cast<const int16_t*>(stream), len / 4);
  }
  void See(const int16_t* frames, int count) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i) {
      const int level = frames[2 * i];
      if (silenceExpected_) {
        loud_ += level != 0;
        continue;
      }
      if (level == 0) {
        gaps_ += !levels_.empty();
        continue;
      }
      if (levels_.empty() || levels_.back() != level) levels_.push_back(level);
      ++framesAt_[level];
    }
  }

  std::mutex mutex_;
  std::vector<int> levels_;
  std::map<int, long> framesAt_;
  long gaps_ = 0;
  long loud_ = 0;
  bool silenceExpected_ = false;
};

template <class F>
bool WaitFor(F done, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_EQ(InitSound(), kOk);
    monitor_.Install();
  }
  void TearDown() override {
    monitor_.Remove();
    ShutdownSound();
  }

  // A segment of constant level at the mixer's own format, so the output
  // shows the level unchanged.
  SoundSegment* Constant(const std::string& name, int16_t level, long frames) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(test::WriteConstantWave(path, 2, 44100, frames, level));
    SoundSegment* segment = nullptr;
    EXPECT_EQ(CreateSoundSegment(segment), kOk);
    EXPECT_EQ(segment->LoadWave(path.c_str()), kOk);
    return segment;
  }

  TempFolder dir_;
  OutputMonitor monitor_;
};

TEST_F(MixerTest, IntroThenLoopQueuedWithoutAGapAndRestartedFromTheIntro) {
  SoundSegment* intro = Constant("intro.wav", 1000, 11025);  // 0.25 s
  SoundSegment* loop = Constant("loop.wav", 2000, 2205);     // 0.05 s

  ASSERT_EQ(intro->Play(0, 0), kOk);
  ASSERT_EQ(loop->Play(1, DMUS_SEGF_QUEUE), kOk);
  EXPECT_TRUE(intro->IsPlaying());
  EXPECT_FALSE(loop->IsPlaying());
  ASSERT_TRUE(WaitFor([&] { return monitor_.FramesAt(2000) > 4 * 2205; }));
  EXPECT_TRUE(loop->IsPlaying());
  EXPECT_FALSE(intro->IsPlaying());
  EXPECT_EQ(monitor_.Levels(), (std::vector<int>{1000, 2000}));
  EXPECT_EQ(monitor_.FramesAt(1000), 11025);
  EXPECT_EQ(monitor_.Gaps(), 0);

  // The music starts again from the intro (a revived game): the replaced
  // loop must not start itself again from the halt.
  monitor_.Reset();
  ASSERT_EQ(intro->Play(0, 0), kOk);
  ASSERT_EQ(loop->Play(1, DMUS_SEGF_QUEUE), kOk);
  EXPECT_TRUE(intro->IsPlaying());
  EXPECT_FALSE(loop->IsPlaying());
  ASSERT_TRUE(WaitFor([&] { return monitor_.FramesAt(2000) > 2205; }));
  const std::vector<int> levels = monitor_.Levels();
  ASSERT_GE(levels.size(), 2u);
  EXPECT_EQ(levels[levels.size() - 2], 1000);
  EXPECT_EQ(levels.back(), 2000);
  EXPECT_EQ(monitor_.Gaps(), 0);
}

TEST_F(MixerTest, EffectsMixOverTheMusic) {
  SoundSegment* music = Constant("music.wav", 1000, 44100);
  SoundSegment* bar = Constant("bar.wav", 300, 44100);
  SoundSegment* hit = Constant("hit.wav", 500, 44100);
  ASSERT_EQ(music->Play(1, 0), kOk);
  ASSERT_EQ(bar->Play(0, DMUS_SEGF_SECONDARY), kOk);
  ASSERT_EQ(hit->Play(0, DMUS_SEGF_SECONDARY), kOk);
  EXPECT_TRUE(music->IsPlaying());
  EXPECT_TRUE(bar->IsPlaying());
  EXPECT_TRUE(hit->IsPlaying());
  EXPECT_EQ(Mix_Playing(-1), 3);
  // All three sound at once, at full level.
  EXPECT_TRUE(WaitFor([&] { return monitor_.FramesAt(1800) > 0; }));

  // The master level scales everything: -6 dB is half.
  SetMasterVolume(-600);
  EXPECT_EQ(Mix_MasterVolume(-1), 64);
  EXPECT_TRUE(WaitFor([&] { return monitor_.FramesAt(900) > 0; }));
  EXPECT_TRUE(music->IsPlaying());
}

TEST_F(MixerTest, StopAllSoundSilencesEverythingAndDropsTheQueue) {
  SoundSegment* intro = Constant("intro.wav", 1000, 4410);
  SoundSegment* loop = Constant("loop.wav", 2000, 2205);
  SoundSegment* hit = Constant("hit.wav", 500, 22050);
  intro->Play(0, 0);
  loop->Play(1, DMUS_SEGF_QUEUE);
  hit->Play(0, DMUS_SEGF_SECONDARY);
  ASSERT_EQ(StopAllSound(), kOk);
  monitor_.ExpectSilence(true);
  EXPECT_FALSE(intro->IsPlaying());
  EXPECT_FALSE(hit->IsPlaying());
  std::this_thread::sleep_for(300ms);  // well past the intro's end
  EXPECT_FALSE(loop->IsPlaying());
  EXPECT_EQ(Mix_Playing(-1), 0);
  EXPECT_EQ(monitor_.Loud(), 0);
}

TEST(MixerVolume, HundredthsOfDecibels) {
  EXPECT_EQ(MixerVolume(0), 128);
  EXPECT_EQ(MixerVolume(-600), 64);
  EXPECT_EQ(MixerVolume(-2000), 13);
  EXPECT_EQ(MixerVolume(-10000), 0);
  EXPECT_EQ(MixerVolume(INT32_MIN), 0);
  EXPECT_EQ(MixerVolume(600), 128);  // no gain above full scale
  EXPECT_EQ(MixerVolume(INT32_MAX), 128);
}

TEST(MixerFallback, NoAudioDeviceGivesTheSilentDriver) {
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  const std::string saved = previous ? previous : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  {
    MixerSound mixer;
    ASSERT_EQ(mixer.Open(), kOk);
    EXPECT_TRUE(mixer.silent());
    TempFolder dir;
    ASSERT_TRUE(test::WriteConstantWave(dir / "a.wav", 1, 22050, 100, 5));
    SoundBackend::Clip clip = mixer.LoadFile((dir / "a.wav").c_str());
    EXPECT_NE(clip, nullptr);
    mixer.Free(clip);
  }
  if (previous) {
    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }
}

// --- The game's sounds ---

class RecordingSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    shown.emplace_back(caption, text);
  }
  void RequestQuit(int exitCode) override { quit.Request(exitCode); }

  std::vector<std::pair<std::string, std::string>> shown;
  QuitRequest quit;
};

class GameSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousSink_ = SetMessageSink(&sink_);
    ASSERT_EQ(InitSound(headless_), kOk);
  }
  void TearDown() override {
    ShutdownSound();
    SetMessageSink(previousSink_);
  }
  void WriteFiles(bool music, bool effects) {
    if (music) {
      ASSERT_TRUE(test::WriteOgg(dir_ / "bgm_1.ogg", 2, 44100, 3000));
      ASSERT_TRUE(test::WriteOgg(dir_ / "bgm_2.ogg", 2, 44100, 2000));
    }
    if (effects) {
      ASSERT_TRUE(test::WriteConstantWave(dir_ / "bar.wav", 1, 22050, 500, 100));
      ASSERT_TRUE(test::WriteConstantWave(dir_ / "block.wav", 1, 22050, 500, 100));
    }
  }
  void ExpectFatalReport() {
    const std::string message = "Could not read a sound file.";
    ASSERT_EQ(sink_.shown.size(), 2u);
    EXPECT_EQ(sink_.shown[0].first, "Debug");
    EXPECT_EQ(sink_.shown[0].second.rfind(message + "\r\n", 0), 0u);  // then the file's path
    EXPECT_EQ(sink_.shown[1], std::make_pair(std::string("Error"), FatalReportText("GameMain", sink_.shown[0].second.substr(message.size() + 2))));
    EXPECT_TRUE(sink_.quit.Requested());
    EXPECT_EQ(sink_.quit.ExitCode(), 1);
  }

  TempFolder dir_;
  HeadlessSound headless_;
  RecordingSink sink_;
  MessageSink* previousSink_ = nullptr;
};

TEST_F(GameSoundTest, LoadsOnceThenIntroWithTheLoopQueuedAndEffectsAsSecondary) {
  WriteFiles(true, true);
  PlatformGameSound sound;
  ASSERT_EQ(sound.Load(dir_.path()), kOk);
  EXPECT_TRUE(sink_.shown.empty());
  EXPECT_EQ(sound.musicIntro()->DecodedLength(), 3000u * 4);
  std::vector<int32_t> volumes;
  for (const auto& call : headless_.CallsOf("Volume")) volumes.push_back(call.volume);
  EXPECT_EQ(volumes, (std::vector<int32_t>{0, 0, 0, -600, -600}));  // InitSound's first
  ASSERT_EQ(headless_.CallsOf("LoadFile").size(), 2u);
  EXPECT_EQ(headless_.CallsOf("LoadFile")[0].path, dir_ / "bar.wav");
  EXPECT_EQ(sound.Load(dir_.path()), kOk);
  EXPECT_EQ(headless_.CallsOf("LoadImage").size(), 2u);

  headless_.calls.clear();
  sound.StartMusic();
  sound.PlayHitSound();
  sound.PlayBarSound();
  const auto plays = headless_.CallsOf("Play");
  ASSERT_EQ(plays.size(), 4u);
  EXPECT_EQ(plays[0].clip, sound.musicIntro()->clip());
  EXPECT_FALSE(plays[0].repeat);
  EXPECT_EQ(plays[0].flags, 0u);
  EXPECT_EQ(plays[1].clip, sound.musicLoop()->clip());
  EXPECT_TRUE(plays[1].repeat);
  EXPECT_EQ(plays[1].flags, DMUS_SEGF_QUEUE);
  EXPECT_EQ(plays[2].clip, sound.hitSound()->clip());
  EXPECT_EQ(plays[2].flags, DMUS_SEGF_SECONDARY);
  EXPECT_EQ(plays[3].clip, sound.barSound()->clip());
  EXPECT_TRUE(sound.musicIntro()->IsPlaying());
  headless_.FinishPrimary();
  EXPECT_TRUE(sound.musicLoop()->IsPlaying());
  sound.StopAllSound();
  EXPECT_FALSE(sound.musicLoop()->IsPlaying());
}

TEST_F(GameSoundTest, MissingMusicIsFatal) {
  WriteFiles(false, true);
  PlatformGameSound sound;
  EXPECT_EQ(sound.Load(dir_.path()), kFail);
  ExpectFatalReport();
  EXPECT_EQ(sound.Load(dir_.path()), kFail);  // reported once
  EXPECT_EQ(sink_.shown.size(), 2u);
}

TEST_F(GameSoundTest, MissingEffectIsFatalAndTakesTheSoundSystemDown) {
  WriteFiles(true, false);
  PlatformGameSound sound;
  EXPECT_EQ(sound.Load(dir_.path()), kFail);
  ExpectFatalReport();
  EXPECT_EQ(headless_.calls.back().op, "Close");
  // What was created stays safe to use until the program ends.
  ASSERT_NE(sound.musicIntro(), nullptr);
  EXPECT_FALSE(sound.musicIntro()->Loaded());
  EXPECT_EQ(sound.musicIntro()->Play(0, 0), kFail);
  sound.StartMusic();
  sound.PlayBarSound();
  EXPECT_EQ(StopAllSound(), kOk);
}

// The whole path as the program takes it: no display, so the report is only
// on standard error (one line each, naming the file), and the quit request
// carries exit code 1.
TEST(GameSoundDeathTest, MissingSoundFileEndsTheProgramWithCode1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        QuitRequest quit;
        SdlMessageSink sink(quit);
        SetMessageSink(&sink);
        InitSound();
        PlatformGameSound sound;
        sound.Load("/nonexistent/quadrel-sound");
        ShutdownSound();
        // What the main loop does with the request; _Exit as the loop's
        // return would, without running this test process's teardown.
        std::_Exit(quit.Requested() ? quit.ExitCode() : 99);
      },
      ::testing::ExitedWithCode(1),
      "quadrel: Debug: Could not read a sound file. "
      "\\(file: /nonexistent/quadrel-sound/bgm_1\\.ogg\\)\n"
      "quadrel: Error: An error occurred, so Quadrel will close\\. / "
      "File: /nonexistent/quadrel-sound/bgm_1\\.ogg / Reinstall Quadrel[^\n]*\n");
}

TEST(QuitRequest, FailureCodeIsNotReplacedBySuccess) {
  QuitRequest quit;
  EXPECT_FALSE(quit.Requested());
  quit.Request(1);
  quit.Request(0);
  EXPECT_TRUE(quit.Requested());
  EXPECT_EQ(quit.ExitCode(), 1);
  quit.Clear();
  quit.Request(0);
  quit.Request(1);
  EXPECT_EQ(quit.ExitCode(), 1);
}

}  // namespace
}  // namespace quadrel::io
