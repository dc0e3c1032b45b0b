// Sound: segments made from WAVE files or from music decoded whole, played
// once or repeating; one primary piece at a time with a piece queued behind
// it, effects mixed over it as secondary sounds; a master volume in
// hundredths of a decibel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/GamePorts.hpp"
#include "base/IoResult.hpp"
#include "platform/audio/WaveImage.hpp"

namespace quadrel::io {

// Play flags.
constexpr uint32_t DMUS_SEGF_SECONDARY = 0x80;  // an effect over the music
constexpr uint32_t DMUS_SEGF_QUEUE = 0x100;     // after the current primary piece

// What the segments play through: SDL_mixer in the game, a recorder in tests.
class SoundBackend {
 public:
  using Clip = void*;  // a loaded sound, owned by the backend until Free

  virtual ~SoundBackend() = default;
  virtual int32_t Open() = 0;
  virtual void Close() = 0;
  // nullptr on failure.
  virtual Clip LoadFile(const char* path) = 0;
  virtual Clip LoadImage(const uint8_t* image, size_t length) = 0;
  virtual void Free(Clip clip) = 0;
  // Without DMUS_SEGF_SECONDARY the clip is the primary piece: it replaces
  // the current one (and whatever was queued), or with DMUS_SEGF_QUEUE it
  // starts when the current one ends (at once if none plays).
  virtual void Play(Clip clip, bool repeat, uint32_t flags) = 0;
  virtual void Stop(Clip clip) = 0;
  virtual void StopAll() = 0;
  virtual void SetMasterVolume(int32_t hundredthsOfDb) = 0;
  virtual bool IsPlaying(Clip clip) const = 0;
  // Holds every playing sound where it is, or lets them go on.
  virtual void Pause(bool) {}
};

// One sound. Every live segment is in one registry; ShutdownSound destroys
// them all.
class SoundSegment final {
 public:
  SoundSegment();
  ~SoundSegment();
  SoundSegment(const SoundSegment&) = delete;
  SoundSegment& operator=(const SoundSegment&) = delete;

  // A WAVE file. A failure takes the whole sound system down (segments stay
  // valid but unloaded). kOk or kFail.
  int32_t LoadWave(const char* path);
  // An Ogg Vorbis file, decoded whole. kOk or kFail.
  int32_t LoadOgg(const char* path);
  // loop != 0 makes the segment repeat endlessly from now on, also when it
  // is later played with loop 0. kFail when nothing is loaded.
  int32_t Play(int32_t loop, uint32_t flags);
  int32_t Stop();

  // Frees what was loaded; the segment stays usable, unloaded.
  void Release();

  bool Loaded() const { return clip_ != nullptr; }
  bool IsPlaying() const;
  SoundBackend::Clip clip() const { return clip_; }
  // Bytes of sound data the music decoded to (0 for effects). The image itself
  // is not kept: the mixer holds its own copy.
  uint32_t DecodedLength() const { return decodedLength_; }

 private:
  SoundBackend::Clip clip_ = nullptr;
  uint32_t decodedLength_ = 0;
  bool repeat_ = false;
};

// InitSound(): SDL_mixer on the default audio device, or on SDL's silent
// dummy driver when no device opens. InitSound(backend): a backend owned by
// the caller. Sets the master volume to 0. kOk or kFail.
int32_t InitSound();
int32_t InitSound(SoundBackend& backend);
// Destroys every segment (pointers to them dangle from then on) and closes
// the backend; safe to call again.
void ShutdownSound();
int32_t StopAllSound();
int32_t SetMasterVolume(int32_t hundredthsOfDb);
// The player's level on top of the game's master volume: level 0..10 scales
// the amplitude by level/10; muted or 0 silences. Kept across InitSound.
void SetPlayerVolume(int32_t level, bool muted);
// The master volume the backend was last given (the game's and the player's).
int32_t EffectiveMasterVolume(int32_t gameHundredthsOfDb, int32_t level, bool muted);
// Everything playing holds while the game is paused.
void PauseAllSound(bool paused);
// A new segment in slot; kFail when it cannot be allocated.
int32_t CreateSoundSegment(SoundSegment*& slot);

// Records every call; plays nothing. Loads fail for files that cannot be
// opened, as the real backend's do.
class HeadlessSound final : public SoundBackend {
 public:
  struct Call {
    std::string op{};  // Open Close LoadFile LoadImage Free Play Stop StopAll Volume Pause Resume
    Clip clip = nullptr;
    bool repeat = false;
    uint32_t flags = 0;
    int32_t volume = 0;
    std::string path{};  // LoadFile
    size_t length = 0;  // LoadImage
  };

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
  void Pause(bool paused) override;  // recorded as Pause or Resume

  // The primary piece ends by itself: a queued piece takes over, a repeating
  // one goes on.
  void FinishPrimary();
  // Calls with this op, in order.
  std::vector<Call> CallsOf(const std::string& op) const;

  std::vector<Call> calls;
  bool failOpen = false;
  int32_t masterVolume = 0;

 private:
  struct Playing {
    Clip clip = nullptr;
    bool repeat = false;
  };
  uintptr_t nextClip_ = 1;
  Playing primary_;
  Playing queued_;
  std::vector<Clip> effects_;
};

// The game scene's four sounds behind the simulation's sound interface.
class PlatformGameSound final : public GameSound {
 public:
  // Creates and loads the music and the effects from folder, once per run;
  // later calls return the first call's result. A missing or unreadable file
  // gives the fatal report and kFail (the program then quits with code 1).
  int32_t Load(const std::string& folder = "./sound");

  void PlayHitSound() override;
  void PlayBarSound() override;
  // The intro once, then the loop queued behind it, repeating.
  void StartMusic() override;
  void StopAllSound() override;
  void PauseAllSound(bool paused) override;
  void SetPlayerVolume(int32_t level, bool muted) override;

  SoundSegment* musicIntro() const { return musicIntro_; }
  SoundSegment* musicLoop() const { return musicLoop_; }
  SoundSegment* barSound() const { return barSound_; }
  SoundSegment* hitSound() const { return hitSound_; }

 private:
  int32_t LoadAll(const std::string& folder);

  SoundSegment* musicIntro_ = nullptr;
  SoundSegment* musicLoop_ = nullptr;
  SoundSegment* barSound_ = nullptr;
  SoundSegment* hitSound_ = nullptr;
  bool attempted_ = false;
  int32_t result_ = kFail;
};

}  // namespace quadrel::io
