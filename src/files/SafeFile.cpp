#include "files/SafeFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quadrel::files {
namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

const char* TypeName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return Fail(error, std::strerror(errno));
  bool ok = ::fchmod(fd, 0644) == 0 && WriteAll(fd, static_cast<const uint8_t*>(bytes), size) &&
            ::fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return Fail(error, std::strerror(failure));
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

uint64_t FileSizeLimit(FileKind kind) {
  switch (kind) {
    case FileKind::Replay: return kReplayFileLimit;
    case FileKind::Ranking:
    case FileKind::Settings: return kRankingFileLimit;
    case FileKind::Model:
    case FileKind::Picture:
    case FileKind::Sound:
    case FileKind::Font: return kLargeFileLimit;
  }
  return kLargeFileLimit;
}

const char* KindName(FileKind kind) {
  switch (kind) {
    case FileKind::Replay: return "replay";
    case FileKind::Model: return "model";
    case FileKind::Picture: return "picture";
    case FileKind::Sound: return "sound";
    case FileKind::Font: return "font";
    case FileKind::Ranking: return "ranking file";
    case FileKind::Settings: return "settings file";
  }
  return "file";
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) close(fd_);
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
  other.fd_ = -1;
}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    size_ = other.size_;
    other.fd_ = -1;
  }
  return *this;
}

int ReadableFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

ReadableFile ReadableFile::Open(const std::string& path, FileKind kind, std::string* error,
                                OpenFailure* failure) {
  OpenFailure ignored;
  OpenFailure& why = failure ? *failure : ignored;
  why = OpenFailure::CannotOpen;
  ReadableFile file;
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
  // O_NOCTTY: a terminal named as a file must not become ours.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Fail(error, std::string("cannot open: ") + std::strerror(errno));
    return file;
  }
  file.fd_ = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    Fail(error, std::string("cannot examine: ") + std::strerror(errno));
    return ReadableFile{};
  }
  if (!S_ISREG(st.st_mode)) {
    why = OpenFailure::NotRegular;
    Fail(error, std::string("not a regular file (") + TypeName(st.st_mode) + ")");
    return ReadableFile{};
  }
  const uint64_t limit = FileSizeLimit(kind);
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > limit) {
    why = OpenFailure::TooLarge;
    Fail(error, std::to_string(static_cast<long long>(st.st_size)) + " bytes, more than the " +
                    std::to_string(limit) + " a " + KindName(kind) + " may have");
    return ReadableFile{};
  }
  // Reads from here on may block as usual (a regular file never waits long).
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file.size_ = static_cast<uint64_t>(st.st_size);
  why = OpenFailure::None;
  return file;
}

size_t ReadableFile::ReadInto(uint8_t* dst, size_t capacity, std::string* error) {
  if (fd_ < 0) {
    Fail(error, "not open");
    return 0;
  }
  const size_t want = static_cast<size_t>(size_) < capacity ? static_cast<size_t>(size_) : capacity;
  size_t done = 0;
  while (done < want) {
    const ssize_t got = read(fd_, dst + done, want - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(error, std::string("read failed: ") + std::strerror(errno));
      return done;
    }
    if (got == 0) {
      Fail(error, "only " + std::to_string(done) + " of " + std::to_string(size_) +
                      " bytes could be read");
      return done;
    }
    done += static_cast<size_t>(got);
  }
  if (done < size_) Fail(error, "larger than the room for it");
  return done;
}

bool ReadableFile::ReadAll(std::vector<uint8_t>& out, std::string* error) {
  out.clear();
  if (fd_ < 0) return Fail(error, "not open");
  try {
    out.resize(static_cast<size_t>(size_));
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory for " + std::to_string(size_) + " bytes");
  }
  if (ReadInto(out.data(), out.size(), error) != size_) {
    out.clear();
    return false;
  }
  return true;
}

std::FILE* ReadableFile::ToStream() {
  if (fd_ < 0) return nullptr;
  std::FILE* stream = fdopen(fd_, "rb");
  if (stream) fd_ = -1;
  return stream;
}

bool ReadWholeFile(const std::string& path, FileKind kind, std::vector<uint8_t>& out,
                   std::string* error) {
  ReadableFile file = ReadableFile::Open(path, kind, error);
  if (!file.IsOpen()) {
    out.clear();
    return false;
  }
  return file.ReadAll(out, error);
}

void WarnFileProblem(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "quadrel: warning: %s: %s\n", path.c_str(), reason.c_str());
  std::fflush(stderr);
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace quadrel::files
