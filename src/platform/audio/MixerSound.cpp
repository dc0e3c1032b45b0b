#include "platform/audio/MixerSound.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Translate.hpp"
#include "files/SafeFile.hpp"

namespace quadrel::io {
namespace {

std::atomic<MixerSound*> activeMixer{nullptr};

bool OpenMixer() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

Mix_Chunk* AsChunk(SoundBackend::Clip clip) { return static_cast<Mix_Chunk*>(clip); }

}  // namespace

int MixerVolume(int32_t hundredthsOfDb) {
  const double gain = std::pow(10.0, hundredthsOfDb / 2000.0);
  const double scaled = std::round(gain * MIX_MAX_VOLUME);
  return static_cast<int>(std::clamp(scaled, 0.0, double(MIX_MAX_VOLUME)));
}

MixerSound::~MixerSound() { Close(); }

template <class F>
void MixerSound::OnMusicChannel(F f) {
  musicMuted_ = true;
  f();
  musicMuted_ = false;
}

int32_t MixerSound::Open() {
  if (open_) return kOk;
  if (activeMixer.load()) return kFail;  // the mixer is one per process
  silent_ = false;
  if (!OpenMixer()) {
    const char* reason = SDL_GetError();
    std::fprintf(stderr, "Quadrel: %s\n",
                 Tr("no audio device could be opened (%s); playing without sound.",
                    reason && *reason ? reason : "?")
                     .c_str());
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool opened = OpenMixer();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!opened) return kFail;
    silent_ = true;
  }
  Mix_AllocateChannels(kChannels);
  Mix_ReserveChannels(1);  // the music channel never takes an effect
  Mix_MasterVolume(MIX_MAX_VOLUME);
  musicMuted_ = false;
  queued_ = {};
  activeMixer = this;
  Mix_ChannelFinished(&MixerSound::OnChannelFinished);
  open_ = true;
  return kOk;
}

void MixerSound::Close() {
  if (!open_) return;
  musicMuted_ = true;  // the halts below must not start a queued piece
  {
    std::lock_guard lock(queueMutex_);
    queued_ = {};
  }
  Mix_HaltChannel(-1);
  Mix_ChannelFinished(nullptr);
  activeMixer = nullptr;
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  open_ = false;
  musicMuted_ = false;
}

SoundBackend::Clip MixerSound::LoadFile(const char* path) {
  if (!open_) return nullptr;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!files::ReadWholeFile(path, files::FileKind::Sound, bytes, &error)) {
    files::WarnFileProblem(path, error);
    return nullptr;
  }
  // The chunk is decoded into memory of its own; the bytes may go afterwards.
  return LoadImage(bytes.data(), bytes.size());
}

SoundBackend::Clip MixerSound::LoadImage(const uint8_t* image, size_t length) {
  if (!open_ || length > size_t(INT_MAX)) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(image, static_cast<int>(length));
  if (!rw) return nullptr;
  return Mix_LoadWAV_RW(rw, 1);
}

void MixerSound::Free(Clip clip) {
  if (!open_ || !clip) return;
  Stop(clip);
  OnMusicChannel([&] { Mix_FreeChunk(AsChunk(clip)); });
}

void MixerSound::Play(Clip clip, bool repeat, uint32_t flags) {
  if (!open_ || !clip) return;
  Mix_Chunk* chunk = AsChunk(clip);
  const int loops = repeat ? -1 : 0;
  if (flags & DMUS_SEGF_SECONDARY) {
    Mix_PlayChannel(-1, chunk, loops);  // dropped only when every effect channel is busy
    return;
  }
  if (flags & DMUS_SEGF_QUEUE) {
    {
      std::lock_guard lock(queueMutex_);
      queued_ = {chunk, loops};
    }
    StartQueuedIfIdle();
    return;
  }
  OnMusicChannel([&] {
    {
      std::lock_guard lock(queueMutex_);
      queued_ = {};
    }
    Mix_PlayChannel(kMusicChannel, chunk, loops);
  });
}

void MixerSound::StartQueuedIfIdle() {
  if (Mix_Playing(kMusicChannel)) return;  // the callback starts it
  Pending next;
  {
    std::lock_guard lock(queueMutex_);
    std::swap(next, queued_);
  }
  if (next.chunk) Mix_PlayChannel(kMusicChannel, next.chunk, next.loops);
}

void MixerSound::Stop(Clip clip) {
  if (!open_ || !clip) return;
  Mix_Chunk* chunk = AsChunk(clip);
  {
    std::lock_guard lock(queueMutex_);
    if (queued_.chunk == chunk) queued_ = {};
  }
  for (int channel = 0; channel < kChannels; ++channel) {
    if (Mix_GetChunk(channel) != chunk || !Mix_Playing(channel)) continue;
    if (channel == kMusicChannel) {
      // Stopping the primary piece also drops what was queued behind it.
      OnMusicChannel([&] {
        {
          std::lock_guard lock(queueMutex_);
          queued_ = {};
        }
        Mix_HaltChannel(channel);
      });
    } else {
      Mix_HaltChannel(channel);
    }
  }
}

void MixerSound::StopAll() {
  if (!open_) return;
  OnMusicChannel([&] {
    {
      std::lock_guard lock(queueMutex_);
      queued_ = {};
    }
    Mix_HaltChannel(-1);
  });
}

void MixerSound::SetMasterVolume(int32_t hundredthsOfDb) {
  if (!open_) return;
  Mix_MasterVolume(MixerVolume(hundredthsOfDb));
}

void MixerSound::Pause(bool paused) {
  if (!open_) return;
  // A paused channel does not finish, so nothing queued starts meanwhile;
  // a channel played anew is unpaused by the mixer itself.
  if (paused) {
    Mix_Pause(-1);
  } else {
    Mix_Resume(-1);
  }
}

bool MixerSound::IsPlaying(Clip clip) const {
  if (!open_ || !clip) return false;
  for (int channel = 0; channel < kChannels; ++channel) {
    if (Mix_GetChunk(channel) == AsChunk(clip) && Mix_Playing(channel)) return true;
  }
  return false;
}

// Runs on the audio thread with the mixer locked (or inside a halt on ours):
// starting the queued piece here puts it in the same buffer the previous one
// ended in.
void MixerSound::OnChannelFinished(int channel) {
  if (channel != kMusicChannel) return;
  MixerSound* self = activeMixer.load();
  if (!self || self->musicMuted_) return;
  Pending next;
  {
    std::lock_guard lock(self->queueMutex_);
    std::swap(next, self->queued_);
  }
  if (next.chunk) Mix_PlayChannel(kMusicChannel, next.chunk, next.loops);
}

}  // namespace quadrel::io
