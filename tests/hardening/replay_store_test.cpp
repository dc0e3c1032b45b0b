// A full replay store in a game that goes on, and replay writes that fail
// (a file-size limit, a read-only folder) without killing the program or
// touching the older file.
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

#include "../core/GameFixture.hpp"
#include "TempFolder.hpp"
#include "files/SafeFile.hpp"
#include "base/Diagnostics.hpp"

namespace quadrel::test {
namespace {

struct QuitWatch : MessageSink {
  int shown = 0, quit = -1;
  void ShowMessage(const std::string&, const std::string&) override { ++shown; }
  void RequestQuit(int code) override { quit = code; }
};

class FullStore : public TempFolder {};

TEST_F(FullStore, AGameThatFillsTheStoreGoesOnAndItsReplayIsNeverSaved) {
  QuitWatch sink;
  SetMessageSink(&sink);
  auto w = MakeWorld(Recording);
  // Moving the mouse every step records every step: the store holds 107,999.
  ::testing::internal::CaptureStderr();
  int steps = 0;
  while (!w->store.overflowed() && steps < 200000) {
    w->Step(steps % 2 ? 1 : -1);
    ++steps;
  }
  for (int i = 0; i < 600; ++i) w->Step(i % 2 ? 1 : -1);  // ten more seconds of play
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  SetMessageSink(nullptr);

  ASSERT_TRUE(w->store.overflowed());
  EXPECT_EQ(steps, 108000);  // the 108,000th input is the first one refused
  EXPECT_EQ(w->store.usedSize(), kReplayHeaderArea + 107999u * kInputFrameSize);
  EXPECT_EQ(sink.quit, -1);    // nothing asked the program to end
  EXPECT_EQ(sink.shown, 0);    // and no box interrupts the game
  EXPECT_EQ(w->g.frameNumber, 108600);
  // One warning line, not one per step.
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
  EXPECT_NE(warnings.find("replay store is full (107999 frames)"), std::string::npos) << warnings;

  // Saving refuses and writes nothing, so the ranking shows its error.
  w->store.fileName() = "00000000_20050511_130405.rep";
  w->store.FinishReplay(0, 0);
  EXPECT_FALSE(w->store.WriteReplayFile());
  EXPECT_FALSE(std::filesystem::exists("replay/00000000_20050511_130405.rep"));
}

// Runs body in a child process; returns its wait status.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

class FailingWrites : public TempFolder {
 protected:
  // A store with 200 frames (2,560 bytes) to be written over an old file.
  static ReplayStore& Store() {
    static ReplayStore store;
    store.ResetReplayStore();
    for (int i = 0; i < 200; ++i) store.AppendInputFrame(InputFrame{1, 0, 0, i, 0});
    store.fileName() = "old.rep";
    store.FinishReplay(0, 0);
    return store;
  }
  static int WriteUnderLimit(bool ignoreSignal) {
    if (ignoreSignal) files::IgnoreFileSizeSignal();
    rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    return Store().WriteReplayFile() ? 0 : 3;
  }
};

TEST_F(FailingWrites, AFileSizeLimitFailsTheWriteAndKeepsTheOldFile) {
  std::filesystem::create_directory("replay");
  Write("replay/old.rep", "the old replay");
  // Without the signal ignored the write kills the process...
  const int killed = InChild([] { return WriteUnderLimit(false); });
  EXPECT_TRUE(WIFSIGNALED(killed) && WTERMSIG(killed) == SIGXFSZ) << killed;
  // ...as the program starts it, the write fails, reports so and leaves
  // nothing beside the old file (the killed one could not clean up).
  const auto entries = [] {
    return std::distance(std::filesystem::directory_iterator("replay"), {});
  };
  const auto before = entries();
  const int failed = InChild([] { return WriteUnderLimit(true); });
  ASSERT_TRUE(WIFEXITED(failed)) << failed;
  EXPECT_EQ(WEXITSTATUS(failed), 3);
  std::ifstream in("replay/old.rep");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "the old replay");
  EXPECT_EQ(entries(), before);
  // With room the same write succeeds.
  EXPECT_TRUE(Store().WriteReplayFile());
  EXPECT_EQ(std::filesystem::file_size("replay/old.rep"), kReplayHeaderArea + 200u * kInputFrameSize);
}

TEST_F(FailingWrites, AReadOnlyFolderFailsTheWrite) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  std::filesystem::create_directory("replay");
  Write("replay/old.rep", "the old replay");
  std::filesystem::permissions("replay", std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
  EXPECT_FALSE(Store().WriteReplayFile());
  std::filesystem::permissions("replay", std::filesystem::perms::owner_all);
  EXPECT_EQ(std::filesystem::file_size("replay/old.rep"), 14u);
}

}  // namespace
}  // namespace quadrel::test
