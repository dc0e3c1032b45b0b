// A start that finds another copy running: a plain start ends quietly with 0;
// one asked to play a replay must not end with 0 as if it had played it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/SingleInstance.hpp"
#include "base/Diagnostics.hpp"

namespace quadrel::test {
namespace {

class Boxes final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    shown.emplace_back(caption, text);
  }
  void RequestQuit(int code) override { quits.push_back(code); }
  std::vector<std::pair<std::string, std::string>> shown;
  std::vector<int> quits;
};

class SecondCopy : public testing::Test {
 protected:
  void SetUp() override { previous_ = SetMessageSink(&boxes_); }
  void TearDown() override { SetMessageSink(previous_); }
  Boxes boxes_;
  MessageSink* previous_ = nullptr;
};

TEST_F(SecondCopy, APlainStartEndsQuietlyWithZero) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(app::AnswerOtherCopyRunning(""), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(SecondCopy, AReplayItCannotPlayIsAFailureNamedOnStderrAndInABox) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(app::AnswerOtherCopyRunning("games/best 1.rep"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "quadrel: Error: Quadrel is already running; close it to play games/best 1.rep\n");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].first, "Error");
  EXPECT_EQ(boxes_.shown[0].second,
            "Quadrel is already running; close it to play\r\ngames/best 1.rep");
  EXPECT_TRUE(boxes_.quits.empty());  // nothing runs here to be asked to end
}

}  // namespace
}  // namespace quadrel::test
