#include "replay/ReplayStore.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>


#include "files/SafeFile.hpp"
#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"

namespace quadrel {

static_assert(files::kReplayFileLimit == kReplayBufferSize, "a replay file fits the store");

const char* Describe(ReplayReadStatus status) {
  switch (status) {
    case ReplayReadStatus::Ok: return "ok";
    case ReplayReadStatus::CannotOpen: return "cannot open the file";
    case ReplayReadStatus::ReadFailed: return "the file could not be read whole";
    case ReplayReadStatus::TooLarge: return "larger than the replay store";
    case ReplayReadStatus::BadSignature: return "wrong signature";
  }
  return "unknown";
}

void ReplayStore::FreeBuffer::operator()(uint8_t* p) const { std::free(p); }

ReplayStore::ReplayStore() : calendarNow([] { return std::time(nullptr); }) {}

void ReplayStore::ResetReplayStore() {
  buffer_.reset();
  // calloc hands out fresh zero pages without writing them.
  buffer_.reset(static_cast<uint8_t*>(std::calloc(kReplayBufferSize, 1)));
  if (!buffer_) {
    ReportFatalError(Tr("Not enough memory to record the replay."), "Replay", 53);
    return;
  }
  cursor_ = kReplayHeaderArea;
  stored_ = kReplayHeaderArea;
  lastInputFrame_ = 0;
  overflowed_ = false;
}

bool ReplayStore::AppendInputFrame(const InputFrame& frame) {
  if (!buffer_) return false;
  if (cursor_ + kInputFrameSize >= kReplayBufferSize) {
    // A full store ends the recording, not the game: the replay is marked
    // incomplete (it could not play back) and is never saved. Said once.
    if (!overflowed_) {
      overflowed_ = true;
      std::fprintf(stderr, "quadrel: warning: %s\n",
                   Tr("the replay store is full (%s frames): recording stopped; "
                      "this game's replay cannot be saved",
                      std::to_string((cursor_ - kReplayHeaderArea) / kInputFrameSize))
                       .c_str());
      std::fflush(stderr);
    }
    return false;
  }
  uint8_t* p = buffer_.get() + cursor_;
  std::memcpy(p, &frame.dx, 2);
  p[2] = frame.button;
  p[3] = 0;
  std::memcpy(p + 4, &frame.frame, 4);
  std::memcpy(p + 8, &frame.score, 4);
  cursor_ += kInputFrameSize;
  if (cursor_ > stored_) stored_ = cursor_;
  return true;
}

bool ReplayStore::ReadInputFrame(InputFrame& frame) {
  frame = InputFrame{};
  if (!buffer_ || cursor_ + kInputFrameSize > stored_) return false;
  const uint8_t* p = buffer_.get() + cursor_;
  std::memcpy(&frame.dx, p, 2);
  frame.button = p[2];
  frame.reserved = p[3];
  std::memcpy(&frame.frame, p + 4, 4);
  std::memcpy(&frame.score, p + 8, 4);
  cursor_ += kInputFrameSize;
  return true;
}

std::tm LocalTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

std::string ReplayFileName(int32_t score, const std::tm& local) {
  char name[64];
  std::snprintf(name, sizeof name, "%08d_%04d%02d%02d_%02d%02d%02d.rep", score, local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return name;
}

std::string ReplayDate(const std::tm& local) {
  char date[64];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return date;
}

void ReplayStore::FinishReplay(int32_t score, int32_t reachedLevel) {
  if (!buffer_) return;
  header_ = ReplayHeader{};
  const std::tm local = LocalTime(calendarNow());
  std::memset(buffer_.get(), 0, 20);
  std::memcpy(buffer_.get(), kReplaySignature, sizeof kReplaySignature);
  header_.score = score;
  const std::string date = ReplayDate(local);
  std::memcpy(header_.date, date.c_str(), std::min(date.size(), sizeof header_.date - 1));
  header_.lastInputFrame = lastInputFrame_;
  header_.version = kReplayVersion;
  header_.level = reachedLevel;
  std::memcpy(buffer_.get() + 20, &header_, sizeof header_);
}

bool ReplayStore::WriteReplayFile() const {
  // An incomplete recording would not play back: nothing is written.
  if (!buffer_ || overflowed_) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  const std::filesystem::path path = std::filesystem::path(folder_) / fileName_;
  return files::ReplaceFileAtomically(path.string(), buffer_.get(), cursor_);
}

void ReplayStore::TakeHeader() {
  std::memcpy(&header_, buffer_.get() + 20, sizeof header_);
  lastInputFrame_ = header_.lastInputFrame;
  cursor_ = kReplayHeaderArea;
}

ReplayReadStatus ReplayStore::LoadReplayPath(const std::string& path) {
  if (!buffer_) ResetReplayStore();
  if (!buffer_) return ReplayReadStatus::ReadFailed;
  ReplayReadStatus status = ReplayReadStatus::Ok;
  stored_ = 0;
  lastReason_.clear();
  // Opened without blocking and only when it is a regular file no larger than
  // the store: a FIFO or a huge file is refused before anything is read.
  files::OpenFailure failure = files::OpenFailure::None;
  files::ReadableFile file =
      files::ReadableFile::Open(path, files::FileKind::Replay, &lastReason_, &failure);
  if (!file.IsOpen()) {
    status = failure == files::OpenFailure::TooLarge ? ReplayReadStatus::TooLarge
                                                     : ReplayReadStatus::CannotOpen;
  } else {
    stored_ = file.ReadInto(buffer_.get(), kReplayBufferSize, &lastReason_);
    if (stored_ != file.Size()) status = ReplayReadStatus::ReadFailed;
  }
  if (status == ReplayReadStatus::Ok &&
      std::memcmp(buffer_.get(), kReplaySignature, sizeof kReplaySignature) != 0) {
    status = ReplayReadStatus::BadSignature;
  }
  TakeHeader();
  lastRead_ = status;
  return status;
}

ReplayReadStatus ReplayStore::LoadReplayBytes(const uint8_t* bytes, size_t size) {
  if (!buffer_) ResetReplayStore();
  if (!buffer_) return ReplayReadStatus::ReadFailed;
  ReplayReadStatus status = ReplayReadStatus::Ok;
  stored_ = 0;
  if (size > kReplayBufferSize) {
    status = ReplayReadStatus::TooLarge;
  } else {
    if (size > 0) std::memcpy(buffer_.get(), bytes, size);
    stored_ = size;
    if (std::memcmp(buffer_.get(), kReplaySignature, sizeof kReplaySignature) != 0)
      status = ReplayReadStatus::BadSignature;
  }
  TakeHeader();
  lastRead_ = status;
  return status;
}

int ReplayStore::ReadReplayFile(const std::string& name) {
  const std::string path = (std::filesystem::path(folder_) / name).string();
  LoadReplayPath(path);
  return ReportRead(path);
}

int ReplayStore::ReportRead(const std::string& path) const {
  const ReplayReadStatus status = lastRead_;
  if (status == ReplayReadStatus::CannotOpen) ShowDebugMessage(Tr("Could not open the replay file."), path);
  if (status == ReplayReadStatus::ReadFailed || status == ReplayReadStatus::TooLarge)
    ShowDebugMessage(Tr("Could not read the replay file: it is damaged or too large."), path);
  if (!lastReason_.empty() && status != ReplayReadStatus::Ok)
    std::fprintf(stderr, "quadrel: warning: %s: %s\n", path.c_str(), lastReason_.c_str());
  return status == ReplayReadStatus::Ok ? 1 : 0;
}

void ReplayStore::SetItemPlanByte(int level, int index, int blockIndex) {
  if (!buffer_ || level < 0 || level >= kLevelCount || index < 0 ||
      index >= static_cast<int>(kItemPlanBytesPerLevel))
    return;
  buffer_[kItemPlanOffset + kItemPlanBytesPerLevel * level + index] =
      static_cast<uint8_t>(static_cast<int8_t>(blockIndex));
}

int8_t ReplayStore::ItemPlanByte(int level, int index) const {
  if (!buffer_ || level < 0 || level >= kLevelCount || index < 0 ||
      index >= static_cast<int>(kItemPlanBytesPerLevel))
    return 0;
  return static_cast<int8_t>(buffer_[kItemPlanOffset + kItemPlanBytesPerLevel * level + index]);
}

}  // namespace quadrel
