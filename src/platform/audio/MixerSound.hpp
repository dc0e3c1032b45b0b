// The SDL_mixer backend: the primary piece on a reserved channel, the next
// piece started from the mixer's channel-finished callback so it follows
// without a gap, effects on the other channels.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/audio/Sound.hpp"

struct Mix_Chunk;

namespace quadrel::io {

// The mixer's 0..128 scale for a level in hundredths of a decibel:
// gain 10^(v/2000), never above full scale.
int MixerVolume(int32_t hundredthsOfDb);

class MixerSound final : public SoundBackend {
 public:
  static constexpr int kMusicChannel = 0;
  static constexpr int kChannels = 32;

  ~MixerSound() override;

  // Opens the default audio device, else SDL's dummy driver.
  int32_t Open() override;
  void Close() override;
  Clip LoadFile(const char* path) override;
  Clip LoadImage(const uint8_t* image, size_t length) override;
  void Free(Clip clip) override;
  void Play(Clip clip, bool repeat, uint32_t flags) override;
  void Stop(Clip clip) override;
  void StopAll() override;
  void SetMasterVolume(int32_t hundredthsOfDb) override;
  bool IsPlaying(Clip clip) const override;
  void Pause(bool paused) override;

  bool open() const { return open_; }
  // True when no real device opened and the game runs silently.
  bool silent() const { return silent_; }

 private:
  struct Pending {
    Mix_Chunk* chunk = nullptr;
    int loops = 0;
  };
  static void OnChannelFinished(int channel);
  // Runs f on the music channel with the finished callback muted, so a halt
  // or a replacement does not start the queued piece.
  template <class F>
  void OnMusicChannel(F f);
  void StartQueuedIfIdle();

  bool open_ = false;
  bool silent_ = false;
  std::atomic<bool> musicMuted_{false};
  std::mutex queueMutex_;  // never held while calling into the mixer
  Pending queued_;
};

}  // namespace quadrel::io
