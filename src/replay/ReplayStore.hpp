// The replay image in memory: header area, item plan and the recorded input
// frames; its file form is the first used bytes of the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "replay/ReplayFormat.hpp"

namespace quadrel {

constexpr uint32_t kReplayBufferSize = 1296160;
constexpr uint32_t kReplayHeaderArea = 160;
constexpr uint32_t kInputFrameSize = 12;
constexpr int32_t kReplayVersion = 20050511;
constexpr uint32_t kItemPlanOffset = 60;
constexpr uint32_t kItemPlanBytesPerLevel = 20;
constexpr char kReplaySignature[] = "for Quadrel data.";  // 17 characters and a zero byte
constexpr char kReplayFolder[] = "replay";

// The 36 bytes at offset 20 of a replay file.
struct ReplayHeader {
  int32_t score;
  char date[20];
  int32_t lastInputFrame;
  int32_t version;
  int32_t level;
};
static_assert(sizeof(ReplayHeader) == 36);

enum class ReplayReadStatus {
  Ok,
  CannotOpen,    // missing or not a readable file
  ReadFailed,    // fewer bytes arrived than the file's size
  TooLarge,      // larger than the store; nothing is read
  BadSignature,  // read, but not a replay
};

const char* Describe(ReplayReadStatus status);

class ReplayStore {
 public:
  ReplayStore();

  // Fresh zeroed buffer; cursor at the end of the header area.
  void ResetReplayStore();
  // Appends at the cursor. When the buffer would fill, the frame is refused,
  // the store is marked overflowed (one warning on standard error) and the
  // game goes on; later appends are refused quietly.
  bool AppendInputFrame(const InputFrame& frame);
  // True once a frame was refused: the recording is incomplete, cannot play
  // back, and WriteReplayFile refuses to store it. Cleared by a reset.
  bool overflowed() const { return overflowed_; }
  // Reads the frame at the cursor. Never reads past the bytes actually stored:
  // when no whole frame is left, frame is zeroed and false is returned.
  bool ReadInputFrame(InputFrame& frame);
  // Signature and header, with the date of now.
  void FinishReplay(int32_t score, int32_t reachedLevel);
  // Writes the used bytes to "<folder>/<fileName>", creating the folder.
  // Returns false (and writes nothing) for an overflowed store, and when the
  // file could not be written completely; an older file of that name is then
  // left as it was.
  bool WriteReplayFile() const;
  // Reads "<folder>/<name>" (an absolute name as it is); shows the failure
  // messages; returns 1 on success.
  int ReadReplayFile(const std::string& name);
  // The messages of the last read of path when it failed; 1 when it succeeded.
  int ReportRead(const std::string& path) const;
  // The player's replay folder; "replay" (in the working folder) unless set.
  const std::string& folder() const { return folder_; }
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  // Reads a file by its full path without showing messages.
  ReplayReadStatus LoadReplayPath(const std::string& path);
  // Reads a replay image from memory (a replay that arrived over the network).
  ReplayReadStatus LoadReplayBytes(const uint8_t* bytes, size_t size);

  void SetItemPlanByte(int level, int index, int blockIndex);
  int8_t ItemPlanByte(int level, int index) const;

  int32_t lastInputFrame() const { return lastInputFrame_; }
  void setLastInputFrame(int32_t frame) { lastInputFrame_ = frame; }
  const ReplayHeader& header() const { return header_; }
  std::string& fileName() { return fileName_; }
  const std::string& fileName() const { return fileName_; }

  // The file image: the used part of the buffer.
  const uint8_t* data() const { return buffer_.get(); }
  size_t usedSize() const { return cursor_; }
  // Bytes that frames may be read from (a file's size after a read).
  size_t storedSize() const { return stored_; }
  // What the last file read found.
  ReplayReadStatus lastReadStatus() const { return lastRead_; }
  // Why the last file read failed, in words ("not a regular file (a FIFO)").
  const std::string& lastReadReason() const { return lastReason_; }

  // Where calendar time comes from (tests fix it).
  std::function<std::time_t()> calendarNow;

 private:
  void TakeHeader();

  struct FreeBuffer {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t[], FreeBuffer> buffer_;
  size_t cursor_ = kReplayHeaderArea;
  size_t stored_ = kReplayHeaderArea;
  int32_t lastInputFrame_ = 0;
  ReplayHeader header_{};
  ReplayReadStatus lastRead_ = ReplayReadStatus::Ok;
  bool overflowed_ = false;
  std::string folder_ = kReplayFolder;
  std::string lastReason_;
  std::string fileName_;
};

// "%08d_%04d%02d%02d_%02d%02d%02d.rep"
std::string ReplayFileName(int32_t score, const std::tm& local);
// "%04d/%02d/%02d %02d:%02d:%02d"
std::string ReplayDate(const std::tm& local);
std::tm LocalTime(std::time_t t);

}  // namespace quadrel
