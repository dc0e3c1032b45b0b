// Every report reaches standard error as one UTF-8 line naming its file, and
// the box the player sees names the file too.
#include <gtest/gtest.h>

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
  ShowDebugMessage("リプレイファイル読み込み失敗", "replay/a.rep");
  ReportFatalError("Xファイルの読み込みに失敗しました。", "GameMain", 244, "./model/ball.x");
  ShowDebugMessage("Write Error.");
  const std::string err = ::testing::internal::GetCapturedStderr();
  SetMessageSink(nullptr);
  EXPECT_EQ(err,
            "quadrel: Debug: リプレイファイル読み込み失敗 (file: replay/a.rep)\n"
            "quadrel: Debug: Xファイルの読み込みに失敗しました。 (file: ./model/ball.x)\n"
            "quadrel: Error: 何らかのエラーが発生したためアプリケーションを終了します / "
            "ファイル : GameMain.cpp / 行番号 : 244\n"
            "quadrel: Debug: Write Error.\n");
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[1], "Debug:Xファイルの読み込みに失敗しました。\r\n./model/ball.x");
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
