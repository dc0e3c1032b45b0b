// Opening the files the game and its tools read: never blocks (a FIFO or a
// device in place of a file), accepts regular files only, and refuses a file
// larger than its kind can sensibly need before anything is read or
// allocated. Every refusal comes with a reason a person can read. And the
// one way the game writes its files: replaced whole, never left half written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quadrel::files {

enum class FileKind {
  Replay,   // at most the replay store: 1,296,160 bytes
  Model,    // a .x model: under 64 MiB (ours are a few hundred KiB)
  Picture,  // a .dds or other picture: under 64 MiB
  Sound,    // a .wav or .ogg: under 64 MiB
  Font,     // a TrueType face: under 64 MiB (a whole CJK collection is ~20 MiB)
  Ranking,  // ranking.dat: ten 38-byte lines; 64 KiB leaves room for hand edits
  Settings, // settings.ini: a few short lines; 64 KiB as for the ranking
};

// The replay store's size; a replay file larger than this cannot be a replay.
constexpr uint64_t kReplayFileLimit = 1296160;
constexpr uint64_t kLargeFileLimit = 64ull << 20;
constexpr uint64_t kRankingFileLimit = 64ull << 10;
// Largest width or height of a picture or texture; 8192 covers every screen
// the game draws at, and keeps one decoded picture under 256 MiB.
constexpr int kPictureDimensionLimit = 8192;

uint64_t FileSizeLimit(FileKind kind);
const char* KindName(FileKind kind);  // "replay", "model", ...

enum class OpenFailure { None, CannotOpen, NotRegular, TooLarge };

// An open, checked, read-only file descriptor (closed on destruction).
class ReadableFile {
 public:
  ReadableFile() = default;
  ~ReadableFile();
  ReadableFile(ReadableFile&& other) noexcept;
  ReadableFile& operator=(ReadableFile&& other) noexcept;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  // Opens path for reading without blocking, then checks that it is a regular
  // file no larger than the kind's limit. On failure the result is not open
  // and error (if given) says why, e.g. "not a regular file (a FIFO)".
  static ReadableFile Open(const std::string& path, FileKind kind, std::string* error = nullptr,
                           OpenFailure* failure = nullptr);

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  uint64_t Size() const { return size_; }
  // Gives the descriptor away (the caller closes it).
  int Release();
  // Reads the whole file (its size when opened) into out; a file that shrank
  // meanwhile is an error, one that grew is read only up to that size.
  bool ReadAll(std::vector<uint8_t>& out, std::string* error = nullptr);
  // Reads the file's bytes (at most capacity) into dst; returns how many
  // arrived. Fewer than Size() means the read failed (error says why).
  size_t ReadInto(uint8_t* dst, size_t capacity, std::string* error = nullptr);
  // A stdio stream on the file (e.g. for a decoder that wants FILE*); the
  // descriptor now belongs to the stream. nullptr on failure.
  std::FILE* ToStream();

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

// Open + ReadAll in one step.
bool ReadWholeFile(const std::string& path, FileKind kind, std::vector<uint8_t>& out,
                   std::string* error = nullptr);

// Replaces path with bytes so that a reader, or the disk after a crash, sees
// the old file or the new one, never a part: written beside it, flushed,
// renamed over it, and the folder flushed. On failure the old file is as it
// was, nothing is left beside it, and error (if given) says why.
bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error = nullptr);
inline bool ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                                  std::string* error = nullptr) {
  return ReplaceFileAtomically(path, bytes.data(), bytes.size(), error);
}

// One warning line on standard error for a load that fails quietly (a texture,
// a background, a font): "quadrel: warning: <file>: <reason>".
void WarnFileProblem(const std::string& path, const std::string& reason);

// Writes cannot kill the program: a file-size limit (ulimit -f) makes write()
// fail with EFBIG instead of raising SIGXFSZ. Every program calls this first.
void IgnoreFileSizeSignal();

}  // namespace quadrel::files
