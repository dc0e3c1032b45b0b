#include "platform/audio/Sound.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#include "files/SafeFile.hpp"
#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "platform/audio/MixerSound.hpp"

namespace quadrel::io {
namespace {

SoundBackend* backend = nullptr;
std::unique_ptr<MixerSound> ownedMixer;
std::vector<SoundSegment*> registry;  // newest last
// The game sets the master volume; the player's level scales it.
int32_t gameVolume = 0;
int32_t playerLevel = 10;
bool playerMuted = false;
// Far below hearing: the mixer's scale rounds it to nothing.
constexpr int32_t kSilence = -10000;

void ApplyMasterVolume() {
  if (backend) backend->SetMasterVolume(EffectiveMasterVolume(gameVolume, playerLevel, playerMuted));
}

// Closes the backend after freeing every segment's sound; the segments
// themselves stay, unloaded, for their owners to destroy.
void CloseBackend() {
  for (SoundSegment* segment : registry) segment->Release();
  if (backend) {
    backend->StopAll();
    backend->Close();
  }
  backend = nullptr;
  ownedMixer.reset();
}

}  // namespace

SoundSegment::SoundSegment() { registry.push_back(this); }

SoundSegment::~SoundSegment() {
  Release();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

void SoundSegment::Release() {
  if (clip_ && backend) {
    backend->Stop(clip_);
    backend->Free(clip_);
  }
  clip_ = nullptr;
  decodedLength_ = 0;
}

int32_t SoundSegment::LoadWave(const char* path) {
  Release();
  SoundBackend::Clip clip = backend ? backend->LoadFile(path) : nullptr;
  if (!clip) {
    // A broken effect takes the sound system down with it; the objects are
    // left alone so that no owner holds a pointer to a destroyed one.
    CloseBackend();
    return kFail;
  }
  clip_ = clip;
  return kOk;
}

int32_t SoundSegment::LoadOgg(const char* path) {
  Release();
  if (!backend) return kFail;
  WaveImage image;
  if (DecodeOggFile(path, image) != kOk) return kFail;
  SoundBackend::Clip clip = backend->LoadImage(image.bytes.get(), image.size);
  if (!clip) return kFail;
  clip_ = clip;
  decodedLength_ = image.DataLength();
  return kOk;
}

int32_t SoundSegment::Play(int32_t loop, uint32_t flags) {
  if (!clip_ || !backend) return kFail;
  if (loop != 0) repeat_ = true;
  backend->Play(clip_, repeat_, flags);
  return kOk;
}

int32_t SoundSegment::Stop() {
  if (!clip_ || !backend) return kFail;
  backend->Stop(clip_);
  return kOk;
}

bool SoundSegment::IsPlaying() const { return clip_ && backend && backend->IsPlaying(clip_); }

int32_t InitSound() {
  if (backend) return kOk;
  auto mixer = std::make_unique<MixerSound>();
  if (mixer->Open() != kOk) return kFail;
  ownedMixer = std::move(mixer);
  backend = ownedMixer.get();
  return SetMasterVolume(0);
}

int32_t InitSound(SoundBackend& caller) {
  if (backend) return kOk;
  if (caller.Open() != kOk) return kFail;
  backend = &caller;
  return SetMasterVolume(0);
}

void ShutdownSound() {
  while (!registry.empty()) delete registry.back();
  CloseBackend();
}

int32_t StopAllSound() {
  if (backend) backend->StopAll();
  return kOk;
}

int32_t SetMasterVolume(int32_t hundredthsOfDb) {
  gameVolume = hundredthsOfDb;
  if (!backend) return kFail;
  ApplyMasterVolume();
  return kOk;
}

int32_t EffectiveMasterVolume(int32_t gameHundredthsOfDb, int32_t level, bool muted) {
  if (muted || level <= 0) return kSilence;
  if (level >= 10) return gameHundredthsOfDb;
  // level/10 of the amplitude, in hundredths of a decibel: 20 log10(level/10) x 100.
  const double attenuation = std::round(2000.0 * std::log10(level / 10.0));
  return std::max(kSilence, gameHundredthsOfDb + static_cast<int32_t>(attenuation));
}

void SetPlayerVolume(int32_t level, bool muted) {
  playerLevel = std::clamp(level, 0, 10);
  playerMuted = muted;
  ApplyMasterVolume();
}

void PauseAllSound(bool paused) {
  if (backend) backend->Pause(paused);
}

int32_t CreateSoundSegment(SoundSegment*& slot) {
  slot = new (std::nothrow) SoundSegment;
  return slot ? kOk : kFail;
}

// --- HeadlessSound ---

int32_t HeadlessSound::Open() {
  calls.push_back({.op = "Open"});
  return failOpen ? kFail : kOk;
}

void HeadlessSound::Close() {
  calls.push_back({.op = "Close"});
  primary_ = queued_ = {};
  effects_.clear();
}

SoundBackend::Clip HeadlessSound::LoadFile(const char* path) {
  calls.push_back({.op = "LoadFile", .path = path});
  if (!files::ReadableFile::Open(path, files::FileKind::Sound).IsOpen()) return nullptr;
  return reinterpret_cast<Clip>(nextClip_++);
}

SoundBackend::Clip HeadlessSound::LoadImage(const uint8_t*, size_t length) {
  calls.push_back({.op = "LoadImage", .length = length});
  return reinterpret_cast<Clip>(nextClip_++);
}

void HeadlessSound::Free(Clip clip) {
  calls.push_back({.op = "Free", .clip = clip});
}

void HeadlessSound::Play(Clip clip, bool repeat, uint32_t flags) {
  calls.push_back({.op = "Play", .clip = clip, .repeat = repeat, .flags = flags});
  if (flags & DMUS_SEGF_SECONDARY) {
    effects_.push_back(clip);
  } else if (flags & DMUS_SEGF_QUEUE) {
    if (primary_.clip) {
      queued_ = {clip, repeat};
    } else {
      primary_ = {clip, repeat};
    }
  } else {
    primary_ = {clip, repeat};
    queued_ = {};
  }
}

void HeadlessSound::Stop(Clip clip) {
  calls.push_back({.op = "Stop", .clip = clip});
  if (primary_.clip == clip) primary_ = queued_ = {};
  if (queued_.clip == clip) queued_ = {};
  effects_.erase(std::remove(effects_.begin(), effects_.end(), clip), effects_.end());
}

void HeadlessSound::StopAll() {
  calls.push_back({.op = "StopAll"});
  primary_ = queued_ = {};
  effects_.clear();
}

void HeadlessSound::SetMasterVolume(int32_t hundredthsOfDb) {
  calls.push_back({.op = "Volume", .volume = hundredthsOfDb});
  masterVolume = hundredthsOfDb;
}

bool HeadlessSound::IsPlaying(Clip clip) const {
  return clip && (primary_.clip == clip ||
                  std::find(effects_.begin(), effects_.end(), clip) != effects_.end());
}

void HeadlessSound::Pause(bool paused) { calls.push_back({.op = paused ? "Pause" : "Resume"}); }

void HeadlessSound::FinishPrimary() {
  if (primary_.repeat) return;
  primary_ = queued_;
  queued_ = {};
}

std::vector<HeadlessSound::Call> HeadlessSound::CallsOf(const std::string& op) const {
  std::vector<Call> out;
  for (const Call& call : calls) {
    if (call.op == op) out.push_back(call);
  }
  return out;
}

// --- PlatformGameSound ---

namespace {

constexpr char kSoundFileMessage[] = N_("Could not read a sound file.");
constexpr int kMusicReportLine = 129;
constexpr int kEffectReportLine = 143;

}  // namespace

int32_t PlatformGameSound::Load(const std::string& folder) {
  if (!attempted_) {
    attempted_ = true;
    result_ = LoadAll(folder);
  }
  return result_;
}

int32_t PlatformGameSound::LoadAll(const std::string& folder) {
  struct Entry {
    SoundSegment*& slot;
    const char* file;
    bool music;
  };
  const Entry entries[] = {
      {musicIntro_, "bgm_1.ogg", true},
      {musicLoop_, "bgm_2.ogg", true},
      {barSound_, "bar.wav", false},
      {hitSound_, "block.wav", false},
  };
  for (const Entry& entry : entries) {
    const std::string path = folder + "/" + entry.file;
    const int32_t created = CreateSoundSegment(entry.slot);
    const int32_t loaded = created == kOk ? (entry.music ? entry.slot->LoadOgg(path.c_str())
                                                         : entry.slot->LoadWave(path.c_str()))
                                          : kFail;
    if (loaded != kOk) {
      ReportFatalError(Tr(kSoundFileMessage), "GameMain", entry.music ? kMusicReportLine : kEffectReportLine,
                       path);
      return kFail;
    }
    // The music is loaded at full level; from the effects on everything plays at -6 dB.
    SetMasterVolume(entry.music ? 0 : -600);
  }
  return kOk;
}

void PlatformGameSound::PlayHitSound() {
  if (hitSound_) hitSound_->Play(0, DMUS_SEGF_SECONDARY);
}

void PlatformGameSound::PlayBarSound() {
  if (barSound_) barSound_->Play(0, DMUS_SEGF_SECONDARY);
}

void PlatformGameSound::StartMusic() {
  if (musicIntro_) musicIntro_->Play(0, 0);
  if (musicLoop_) musicLoop_->Play(1, DMUS_SEGF_QUEUE);
}

void PlatformGameSound::StopAllSound() { io::StopAllSound(); }

void PlatformGameSound::PauseAllSound(bool paused) { io::PauseAllSound(paused); }

void PlatformGameSound::SetPlayerVolume(int32_t level, bool muted) {
  io::SetPlayerVolume(level, muted);
}

}  // namespace quadrel::io
