// What one replay may cost the server: replays that would take long to
// re-simulate, the log a forged field leaves, the page's escaping. And the
// in-memory replay check itself. (The HTTP side: http_front_test.cpp.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "GameClient.hpp"
#include "Pages.hpp"
#include "Registration.hpp"
#include "ServerFixture.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel::test {
namespace {

TEST(ReplayBytes, CheckFromMemoryMatchesTheFileCheck) {
  for (const std::string& path : GoldenReplays()) {
    const std::string bytes = ReadBinaryFile(path);
    const ReplayCheck file = CheckReplay(path);
    const ReplayCheck memory =
        CheckReplay(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(memory.outcome, ReplayCheck::Outcome::Ok) << path;
    EXPECT_EQ(memory.score, file.score);
    EXPECT_EQ(memory.steps, file.steps);
    EXPECT_EQ(memory.frames, file.frames);
  }
  const ReplayCheck empty = CheckReplay(nullptr, 0);
  EXPECT_EQ(empty.outcome, ReplayCheck::Outcome::Unreadable);
  const std::string huge(kReplayBufferSize + 1, 'x');
  EXPECT_EQ(CheckReplay(reinterpret_cast<const uint8_t*>(huge.data()), huge.size()).outcome,
            ReplayCheck::Outcome::Unreadable);
}

// A replay of one frame recorded at the given step.
server::Registration OneFrameAt(int32_t frame) {
  server::Registration r;
  r.replay.assign(172, '\0');
  std::memcpy(r.replay.data(), kReplaySignature, sizeof kReplaySignature);
  std::memcpy(r.replay.data() + 24, "2005/05/11 00:00:00", 19);
  std::memcpy(r.replay.data() + 44, &frame, 4);
  std::memcpy(r.replay.data() + 48, &kReplayVersion, 4);
  r.replay[160 + 2] = static_cast<char>(0x80);
  std::memcpy(r.replay.data() + 164, &frame, 4);
  r.daytime = "2005/05/11 00:00:00";
  return r;
}

TEST(ReplayLimits, CraftedFrameNumbersCostBoundedWork) {
  server::ReplayLimits limits;
  // Near 2^31: refused from the header alone, nothing simulated.
  server::ReplayVerdict far = server::VerifyReplay(OneFrameAt(2147483000), limits);
  EXPECT_FALSE(far.ok);
  EXPECT_EQ(far.steps, 0);
  // Hidden in the middle behind a small last frame: refused when it comes next.
  server::Registration middle = OneFrameAt(30);
  const int32_t last = 40;
  std::memcpy(middle.replay.data() + 44, &last, 4);
  std::string frames = middle.replay.substr(160, 12);
  for (int32_t frame : {2147483000, 40}) {
    std::memcpy(frames.data() + 4, &frame, 4);
    middle.replay += frames;
  }
  server::ReplayVerdict hidden = server::VerifyReplay(middle, limits);
  EXPECT_FALSE(hidden.ok);
  EXPECT_LE(hidden.steps, 31);
  EXPECT_NE(hidden.reason.find("beyond"), std::string::npos) << hidden.reason;
}

TEST(ReplayLimits, ALongRestOnTheGameOverScreenIsNoReasonToRefuse) {
  // Six minutes between the last ball lost and the leaving click.
  server::Registration r;
  r.replay = ReadBinaryFile(LostGoldenReplays().at(0));
  int32_t last = 0;
  std::memcpy(&last, r.replay.data() + r.replay.size() - 8, 4);
  last += 21600;
  std::memcpy(r.replay.data() + r.replay.size() - 8, &last, 4);
  std::memcpy(r.replay.data() + 44, &last, 4);
  std::memcpy(&r.score, r.replay.data() + 20, 4);
  std::memcpy(&r.level, r.replay.data() + 52, 4);
  r.daytime.assign(r.replay.data() + 24, 19);
  const server::ReplayVerdict rested = server::VerifyReplay(r, server::ReplayLimits{});
  EXPECT_TRUE(rested.ok) << rested.reason;
}

TEST(ReplayLimits, NoInputAfterTheAllClear) {
  // A move appended to the all-clear game long after the all-clear changes
  // nothing the check compares, but would make the file a new game.
  server::Registration r;
  r.replay = ReadBinaryFile(GoldenReplays().back());
  std::memcpy(&r.score, r.replay.data() + 20, 4);
  std::memcpy(&r.level, r.replay.data() + 52, 4);
  r.daytime.assign(r.replay.data() + 24, 19);
  ASSERT_TRUE(server::VerifyReplay(r, server::ReplayLimits{}).ok);
  std::string move = r.replay.substr(r.replay.size() - 12);
  const int32_t frame = 20000, score = 59600680;  // the score before the bonuses
  std::memcpy(move.data() + 4, &frame, 4);
  std::memcpy(move.data() + 8, &score, 4);
  move[0] = 1, move[1] = 0, move[2] = 0;
  r.replay += move;
  std::memcpy(r.replay.data() + 44, &frame, 4);
  const server::ReplayVerdict appended = server::VerifyReplay(r, server::ReplayLimits{});
  EXPECT_FALSE(appended.ok);
  EXPECT_NE(appended.reason.find("after the all-clear"), std::string::npos) << appended.reason;
}

TEST(ReplayLimits, GameDigestIgnoresWhatTheSimulationIgnores) {
  const std::string replay = ReadBinaryFile(GoldenReplays().at(1));
  std::string redated = replay;
  std::memcpy(redated.data() + 24, "1999/01/01 00:00:00", 19);
  EXPECT_EQ(server::GameDigest(replay), server::GameDigest(redated));
  std::string unusedPlan = replay;
  unusedPlan[60 + 12] = 3;  // byte 12 of level 0 is never read
  EXPECT_EQ(server::GameDigest(replay), server::GameDigest(unusedPlan));
  std::string usedPlan = replay;
  usedPlan[60 + 1] = static_cast<char>(usedPlan[60 + 1] + 1);
  EXPECT_NE(server::GameDigest(replay), server::GameDigest(usedPlan));
  EXPECT_NE(server::GameDigest(replay), server::GameDigest(ReplayVariant(replay, 3)));
}

TEST(ServerLimits, EachBadRequestIsOneLogLine) {
  std::mutex mutex;
  std::vector<std::string> lines;
  server::ServerOptions options;
  options.log = [&](const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  };
  {
    LiveServer live("sqlite", options);
    ASSERT_TRUE(live.ready());
    GameFields f = FieldsFor(ReadBinaryFile(GoldenReplays().at(0)), "ABCDEFGHIJ", "x.rep");
    f.ver = "1\r\nforged line";
    EXPECT_EQ(VerdictOf(Register(live.port(), f)), -3);
    HttpGet(live.port(), "/nothing%0Ahere");
  }
  std::lock_guard lock(mutex);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" 200 -3 version \"1??forged line\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" 404"), std::string::npos) << lines[1];
  for (const std::string& line : lines) EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(Pages, EveryStoredTextIsEscaped) {
  server::RankingRow row;
  row.id = 7;
  row.name = "<script>\"&'";
  row.daytime = "2005/05/11 00:00:00";
  row.score = 123;
  row.level = 5;
  row.fileName = "a\"b<c>.rep";
  const std::string page = server::LeaderboardPage({row}, 100);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;&quot;&amp;&#39;"), std::string::npos);
  EXPECT_NE(page.find("a&quot;b&lt;c&gt;.rep"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"level\">ALL</td>"), std::string::npos);
  const std::string json = server::TopJson({row});
  EXPECT_NE(json.find("\"name\":\"\\u003cscript\\u003e\\\"\\u0026'\""), std::string::npos) << json;
  EXPECT_EQ(server::SafeFileName("../../etc/passwd"), "replay.._.._etc_passwd");
  EXPECT_EQ(server::SafeFileName("x\r\nSet-Cookie: a=b"), "x__Set-Cookie__a_b");
  EXPECT_EQ(server::LevelText(0), "1");
}

}  // namespace
}  // namespace quadrel::test
