// Every report reaches standard error as one UTF-8 line naming its file, and
// the box the player sees names the file too.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Diagnostics.hpp"

namespace quadrel::test {
namespace {

struct Boxes : MessageSink {
  std::vector<std::string> shown;
  int quit = -1;
  void ShowMessage(const std::string& caption, const std::string& text) override {
    shown.push_back(caption + ":" + text);
  }
  void RequestQuit(int code) override { quit = code; }
};

TEST(Reports, EachReportIsOneLineOnStandardErrorWithTheFileConcerned) {
  Boxes boxes;
  SetMessageSink(&boxes);
  ::testing::internal::CaptureStderr();
  ShowDebugMessage("Could not open the replay file.", "replay/a.rep");
  ReportFatalError("Could not read a model file.", "GameMain", 244, "./model/ball.x");
  ShowDebugMessage("Write Error.");
  const std::string err = ::testing::internal::GetCapturedStderr();
  SetMessageSink(nullptr);
  EXPECT_EQ(err,
            "quadrel: Debug: Could not open the replay file. (file: replay/a.rep)\n"
            "quadrel: Debug: Could not read a model file. (file: ./model/ball.x)\n"
            "quadrel: Error: An error occurred, so Quadrel will close. / File: " +
                (std::filesystem::current_path() / "model/ball.x").string() +
                " / Reinstall Quadrel to restore its missing or damaged files, then start it again.\n"
            "quadrel: Debug: Write Error.\n");
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[1], "Debug:Could not read a model file.\r\n./model/ball.x");
  EXPECT_EQ(boxes.shown[3], "Debug:Write Error.");
  EXPECT_EQ(boxes.quit, 1);
}

TEST(Reports, WithoutASinkTheLineIsWrittenOnce) {
  ::testing::internal::CaptureStderr();
  ShowDebugMessage("text", "f");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "quadrel: Debug: text (file: f)\n");
}

}  // namespace
}  // namespace quadrel::test
