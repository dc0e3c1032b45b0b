// The checked opener and the replay files read through it: FIFOs, folders and
// oversized files are refused at once with a reason, never read or waited on.
#include <fcntl.h>

#include <cstring>

#include "TempFolder.hpp"
#include "files/SafeFile.hpp"
#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel::test {
namespace {

using files::FileKind;
using files::OpenFailure;
using files::ReadableFile;

class SafeFiles : public TempFolder {};

TEST_F(SafeFiles, NonRegularFilesAreRefusedWithoutWaiting) {
  MakeFifo("pipe");
  std::filesystem::create_directory("folder");
  const auto start = std::chrono::steady_clock::now();
  for (const char* path : {"pipe", "folder", "/dev/zero", "/dev/null"}) {
    std::string error;
    OpenFailure failure = OpenFailure::None;
    const ReadableFile f = ReadableFile::Open(path, FileKind::Picture, &error, &failure);
    EXPECT_FALSE(f.IsOpen()) << path;
    EXPECT_EQ(failure, OpenFailure::NotRegular) << path;
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << path << ": " << error;
  }
  std::string error;
  ReadableFile::Open("pipe", FileKind::Replay, &error);
  EXPECT_EQ(error, "not a regular file (a FIFO)");
  ReadableFile::Open("missing", FileKind::Replay, &error);
  EXPECT_EQ(error, "cannot open: No such file or directory");
  EXPECT_LT(SecondsSince(start), 2.0);
}

TEST_F(SafeFiles, EachKindHasItsSizeLimitAndLargerFilesAreNotRead) {
  EXPECT_EQ(files::FileSizeLimit(FileKind::Replay), kReplayBufferSize);
  EXPECT_EQ(files::FileSizeLimit(FileKind::Model), 64u << 20);
  EXPECT_EQ(files::FileSizeLimit(FileKind::Picture), 64u << 20);
  EXPECT_EQ(files::FileSizeLimit(FileKind::Ranking), 64u << 10);
  // A giant sparse picture: refused from its size alone, nothing allocated.
  MakeSparse("giant.dds", "DDS ", 2500000000ull);
  std::vector<uint8_t> bytes;
  std::string error;
  OpenFailure failure = OpenFailure::None;
  EXPECT_FALSE(ReadableFile::Open("giant.dds", FileKind::Picture, &error, &failure).IsOpen());
  EXPECT_EQ(failure, OpenFailure::TooLarge);
  EXPECT_EQ(error, "2500000000 bytes, more than the 67108864 a picture may have");
  EXPECT_FALSE(files::ReadWholeFile("giant.dds", FileKind::Picture, bytes, &error));
  EXPECT_TRUE(bytes.empty());
  // At the limit is fine; one byte more is not.
  MakeSparse("ranking.dat", "", 64 << 10);
  EXPECT_TRUE(files::ReadWholeFile("ranking.dat", FileKind::Ranking, bytes, &error)) << error;
  EXPECT_EQ(bytes.size(), 64u << 10);
  MakeSparse("ranking.dat", "", (64 << 10) + 1);
  EXPECT_FALSE(files::ReadWholeFile("ranking.dat", FileKind::Ranking, bytes, &error));
}

TEST_F(SafeFiles, ARegularFileIsReadWholeAndCanBecomeAStream) {
  Write("a.txt", "hello");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(files::ReadWholeFile("a.txt", FileKind::Sound, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
  ReadableFile f = ReadableFile::Open("a.txt", FileKind::Sound);
  std::FILE* stream = f.ToStream();
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(f.IsOpen());  // the stream owns the descriptor now
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, stream), 5u);
  std::fclose(stream);
  // Read mode without O_NONBLOCK left behind.
  ReadableFile g = ReadableFile::Open("a.txt", FileKind::Sound);
  EXPECT_EQ(fcntl(g.Descriptor(), F_GETFL) & O_NONBLOCK, 0);
}

class DamagedReplays : public TempFolder {};

TEST_F(DamagedReplays, AFifoOrAnOversizedFileInPlaceOfAReplayIsRefusedAtOnce) {
  std::filesystem::create_directory("replay");
  MakeFifo("replay/fifo.rep");
  MakeSparse("replay/huge.rep", kReplaySignature, 3000000000ull);
  const auto start = std::chrono::steady_clock::now();
  ReplayStore store;
  store.ResetReplayStore();
  EXPECT_EQ(store.LoadReplayPath("replay/fifo.rep"), ReplayReadStatus::CannotOpen);
  EXPECT_EQ(ReplayFileProblem(store, store.lastReadStatus()), "not a regular file (a FIFO)");
  EXPECT_EQ(store.LoadReplayPath("replay/huge.rep"), ReplayReadStatus::TooLarge);
  EXPECT_EQ(store.storedSize(), 0u);
  const ReplayCheck check = CheckReplay("replay/fifo.rep");
  EXPECT_EQ(check.outcome, ReplayCheck::Outcome::Unreadable);
  EXPECT_EQ(check.detail, "not a regular file (a FIFO)");
  EXPECT_LT(SecondsSince(start), 2.0);
}

// 160 header bytes and one frame numbered near 2^31: a 172-byte file that
// would otherwise run the simulation for billions of steps.
std::vector<uint8_t> CraftedLongReplay() {
  std::vector<uint8_t> b(kReplayHeaderArea + kInputFrameSize, 0);
  std::memcpy(b.data(), kReplaySignature, sizeof kReplaySignature);
  const int32_t last = 2147483000, version = kReplayVersion;
  std::memcpy(&b[24], "2005/05/11 13:04:05", 20);
  std::memcpy(&b[44], &last, 4);
  std::memcpy(&b[48], &version, 4);
  std::memcpy(&b[kReplayHeaderArea + 4], &last, 4);
  return b;
}

TEST_F(DamagedReplays, ACraftedLongReplayEndsAfterTheBoundWithAClearVerdict) {
  WriteBytes("long.rep", CraftedLongReplay());
  ASSERT_EQ(std::filesystem::file_size("long.rep"), 172u);
  const auto start = std::chrono::steady_clock::now();
  const ReplayCheck check = CheckReplay("long.rep");
  EXPECT_EQ(check.outcome, ReplayCheck::Outcome::EndMismatch);
  EXPECT_EQ(check.steps, kDefaultStepsBetweenInputs);
  EXPECT_NE(check.detail.find("not reached within 216000 steps"), std::string::npos) << check.detail;
  EXPECT_LT(SecondsSince(start), 5.0);
  // A server may choose a tighter bound.
  EXPECT_EQ(CheckReplay("long.rep", nullptr, 600).steps, 600);
}

}  // namespace
}  // namespace quadrel::test
