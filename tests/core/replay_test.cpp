// Replay files: writing, reading, damaged files, playback through the game,
// a recorded game played back, and the golden games.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "GameFixture.hpp"
#include "base/Diagnostics.hpp"
#include "verify/ReplayCheck.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

struct RecordingSink : MessageSink {
  std::vector<std::string> shown;
  int quitCode = -1;
  void ShowMessage(const std::string& caption, const std::string& text) override {
    shown.push_back(caption + ": " + text);
  }
  void RequestQuit(int code) override { quitCode = code; }
};

// Runs each test in a fresh working folder with a recording message sink.
class ReplayFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("quadrel-replay-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "replay");
    fs::current_path(dir_);
    SetMessageSink(&sink_);
  }
  void TearDown() override {
    SetMessageSink(nullptr);
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / "replay" / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return (dir_ / "replay" / name).string();
  }
  RecordingSink sink_;
  fs::path previous_, dir_;
};

struct Image {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kReplayHeaderArea, 0);
  Image(int32_t score, int32_t lastFrame, int32_t level, int32_t version = kReplayVersion) {
    std::memcpy(bytes.data(), kReplaySignature, sizeof kReplaySignature);
    std::memcpy(&bytes[20], &score, 4);
    std::memcpy(&bytes[24], "2005/05/11 13:04:05", 20);
    std::memcpy(&bytes[44], &lastFrame, 4);
    std::memcpy(&bytes[48], &version, 4);
    std::memcpy(&bytes[52], &level, 4);
  }
  void Frame(int16_t dx, uint8_t button, int32_t frame, int32_t score) {
    uint8_t r[12] = {};
    std::memcpy(r, &dx, 2);
    r[2] = button;
    std::memcpy(r + 4, &frame, 4);
    std::memcpy(r + 8, &score, 4);
    bytes.insert(bytes.end(), r, r + 12);
  }
};

TEST_F(ReplayFiles, DamagedFilesAreReportedAndNeverReadPastTheirData) {
  Image good(0, 0, 0);
  const std::string missing = (dir_ / "replay" / "none.rep").string();
  EXPECT_EQ(CheckReplay(missing).outcome, ReplayCheck::Outcome::Unreadable);

  const std::string shortFile = Write("short.rep", std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + 100));
  EXPECT_EQ(CheckReplay(shortFile).detail, "too short (100 bytes)");

  Image cut = good;
  cut.Frame(1, 0, 0, 0);
  cut.bytes.resize(cut.bytes.size() - 5);
  EXPECT_EQ(CheckReplay(Write("cut.rep", cut.bytes)).detail, "truncated in a frame (167 bytes)");

  Image badSig = good;
  badSig.bytes[3] = 'X';
  EXPECT_EQ(CheckReplay(Write("sig.rep", badSig.bytes)).detail, "wrong signature");

  std::vector<uint8_t> huge(kReplayBufferSize + 1, 0);
  std::memcpy(huge.data(), good.bytes.data(), good.bytes.size());
  EXPECT_EQ(CheckReplay(Write("huge.rep", huge)).detail, "larger than the replay store");

  Image old(0, 0, 0, 20040101);
  EXPECT_EQ(CheckReplay(Write("old.rep", old.bytes)).detail, "other version 20040101");

  const std::string folder = (dir_ / "replay").string();
  EXPECT_EQ(CheckReplay(folder).outcome, ReplayCheck::Outcome::Unreadable);
}

// A 172-byte file whose one frame lies near 2^31 steps away must be given up
// after the bound, not after simulating to it.
TEST_F(ReplayFiles, FarAwayFramesAreGivenUpAfterTheStepBound) {
  Image far(100, 2147483000, 0);
  far.Frame(1, 0, 2147483000, 0);
  ASSERT_EQ(far.bytes.size(), 172u);
  const std::string path = Write("far.rep", far.bytes);
  const ReplayCheck check = CheckReplay(path);
  EXPECT_EQ(check.outcome, ReplayCheck::Outcome::EndMismatch);
  EXPECT_EQ(check.steps, kDefaultStepsBetweenInputs);
  EXPECT_NE(check.detail.find("not reached within 216000 steps"), std::string::npos) << check.detail;
  // The caller may set a tighter bound; a frame inside it is reached.
  EXPECT_EQ(CheckReplay(path, nullptr, 500).steps, 500);
  Image near(0, 400, 0);
  near.Frame(1, 0, 400, 0);
  EXPECT_NE(CheckReplay(Write("near.rep", near.bytes), nullptr, 500).detail.find("not reached"),
            0u);
}

TEST_F(ReplayFiles, ReadReplayFileShowsTheMessagesOfEachFailure) {
  ReplayStore store;
  store.ResetReplayStore();
  EXPECT_EQ(store.ReadReplayFile("none.rep"), 0);
  ASSERT_EQ(sink_.shown.size(), 1u);
  EXPECT_EQ(sink_.shown[0], "Debug: Could not open the replay file.\r\nreplay/none.rep");

  Image bad(0, 0, 0);
  bad.bytes[0] = 'F';
  Write("bad.rep", bad.bytes);
  EXPECT_EQ(store.ReadReplayFile("bad.rep"), 0);
  EXPECT_EQ(sink_.shown.size(), 1u);  // a wrong signature is silent

  std::vector<uint8_t> huge(kReplayBufferSize + 12, 0xAB);
  Write("huge.rep", huge);
  EXPECT_EQ(store.ReadReplayFile("huge.rep"), 0);
  EXPECT_EQ(sink_.shown.back(), "Debug: Could not read the replay file: it is damaged or too large.\r\nreplay/huge.rep");
  InputFrame f;
  EXPECT_FALSE(store.ReadInputFrame(f));

  Image good(42, 0, 1);
  good.Frame(3, 0x80, 0, 0);
  Write("good.rep", good.bytes);
  EXPECT_EQ(store.ReadReplayFile("good.rep"), 1);
  EXPECT_EQ(store.header().score, 42);
  ASSERT_TRUE(store.ReadInputFrame(f));
  EXPECT_EQ(f.dx, 3);
  EXPECT_EQ(f.button, 0x80);
  EXPECT_FALSE(store.ReadInputFrame(f));  // only one frame was read
}

TEST_F(ReplayFiles, AppendStopsBeforeTheBufferFillsAndMarksTheStoreOverflowed) {
  ReplayStore store;
  store.ResetReplayStore();
  const InputFrame frame{1, 0, 0, 0, 0};
  int appended = 0;
  while (store.AppendInputFrame(frame)) ++appended;
  EXPECT_EQ(appended, 107999);
  EXPECT_EQ(store.usedSize(), kReplayHeaderArea + 107999u * kInputFrameSize);
  // The program goes on: no report, no quit; the store knows it is incomplete.
  EXPECT_EQ(sink_.quitCode, -1);
  EXPECT_TRUE(sink_.shown.empty());
  EXPECT_TRUE(store.overflowed());
  store.ResetReplayStore();
  EXPECT_FALSE(store.overflowed());
}

// Enters the game scene in playback of replay/<name>.
std::unique_ptr<World> PlayBack(const std::string& name) {
  auto w = std::make_unique<World>(Off);
  w->g.replayMode = Playback;
  const std::string path = "replay/" + name;
  EnterGameState(w->g, &path);
  return w;
}

TEST_F(ReplayFiles, PlaybackAppliesRecordedFramesMarksGapsAndSlowsOnTheRightButton) {
  Image img(0, 6, 0);
  img.Frame(40, 0, 2, 0);
  img.Frame(-8, 0, 6, 999);  // a score the game won't have
  Write("p.rep", img.bytes);
  auto w = PlayBack("p.rep");
  StepInput live;
  live.mouse.lX = 500;  // the live mouse is ignored
  live.mouse.rgbButtons[1] = 0x80;
  for (int f = 0; f < 3; ++f) w->Take(Step(w->g, live));
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 5.0);
  EXPECT_EQ(w->g.vars.clock.stepLength, 1000.0 / 30.0);
  EXPECT_EQ(w->g.gapMarker, 0.0);
  EXPECT_EQ(w->g.replayMode, Playback);
  w->Steps(4);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 4.0);
  EXPECT_EQ(w->g.gapMarker, 99.0);
  EXPECT_EQ(w->g.replayMode, PlaybackEnded);
  EXPECT_EQ(w->g.vars.clock.stepLength, 1000.0 / 60.0);
  // After the end the live mouse drives the bar again.
  w->Step(8);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 5.0);
}

TEST_F(ReplayFiles, AHeaderPromisingMoreFramesThanTheFileHoldsEndsWithTheData) {
  Image img(0, 5000, 0);
  img.Frame(8, 0, 1, 0);
  Write("liar.rep", img.bytes);
  auto w = PlayBack("liar.rep");
  w->Steps(3);
  EXPECT_EQ(w->g.replayMode, PlaybackEnded);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 1.0);
}

TEST_F(ReplayFiles, ARecordingWithoutFramesEndsItsPlaybackAtFrameZero) {
  Image img(0, 0, 0);
  Write("empty.rep", img.bytes);
  auto w = PlayBack("empty.rep");
  w->Step();
  EXPECT_EQ(w->g.replayMode, PlaybackEnded);
  EXPECT_EQ(w->g.gapMarker, 0.0);
}

// A scripted player: sweeps the bar, launches whenever it can, and clicks
// away the game-over screen.
void PlayScriptedGame(World& w) {
  int step = 0;
  while (w.g.vars.clock.nextScene < 0 && step < 100000) {
    const int dx = static_cast<int>(40.0 * std::sin(step * 0.05) + 13.0 * std::cos(step * 0.31));
    const bool button = step % 90 < 3 || (w.g.phase == GameOver && step % 200 < 10);
    w.Step(step % 7 == 0 ? 0 : dx, button);
    ++step;
  }
}

TEST_F(ReplayFiles, ARecordedGamePlaysBackWithoutAGapAndAnEditedScoreIsFound) {
  auto w = MakeWorld(Recording);
  w->g.gameRandom.Seed(20051111);
  w->store.calendarNow = [] { return std::time_t{1115802245}; };
  PlayScriptedGame(*w);
  ASSERT_EQ(w->g.vars.clock.nextScene, Ranking);
  ASSERT_TRUE(w->store.WriteReplayFile());
  const std::string name = w->store.fileName();
  const std::string path = (dir_ / "replay" / name).string();
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), w->store.usedSize());

  const ReplayCheck check = CheckReplay(path);
  EXPECT_EQ(check.outcome, ReplayCheck::Outcome::Ok) << FormatCheck(path, check);
  EXPECT_EQ(check.score, w->g.score);
  EXPECT_GT(check.frames, 100);

  // The game's own playback agrees at every frame.
  auto p = PlayBack(name);
  while (p->g.replayMode == Playback) p->Step();
  EXPECT_EQ(p->g.gapMarker, 0.0);
  EXPECT_EQ(p->g.score, w->g.score);

  // Change the score of the 50th frame.
  std::vector<uint8_t> bytes(fs::file_size(path));
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  const size_t at = kReplayHeaderArea + 49 * kInputFrameSize;
  int32_t frame, score;
  std::memcpy(&frame, &bytes[at + 4], 4);
  std::memcpy(&score, &bytes[at + 8], 4);
  score += 10;
  std::memcpy(&bytes[at + 8], &score, 4);
  const std::string edited = Write("edited.rep", bytes);
  const ReplayCheck gap = CheckReplay(edited);
  EXPECT_EQ(gap.outcome, ReplayCheck::Outcome::Gap);
  EXPECT_EQ(gap.gapFrame, frame);
  EXPECT_EQ(gap.recorded, score);
  EXPECT_EQ(gap.simulated, score - 10);
  EXPECT_EQ(FormatCheck("x", gap), "x: gap at frame " + std::to_string(frame) + ": recorded " +
                                       std::to_string(score) + ", simulated " +
                                       std::to_string(score - 10));

  // A header that disagrees with the game's end.
  std::vector<uint8_t> wrongEnd(fs::file_size(path));
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(wrongEnd.data()), wrongEnd.size());
  int32_t headerScore;
  std::memcpy(&headerScore, &wrongEnd[20], 4);
  headerScore += 1;
  std::memcpy(&wrongEnd[20], &headerScore, 4);
  EXPECT_EQ(CheckReplay(Write("end.rep", wrongEnd)).outcome, ReplayCheck::Outcome::EndMismatch);
}

TEST_F(ReplayFiles, ASecondSaveUnderTheSameNameReplacesTheFirst) {
  ReplayStore store;
  store.ResetReplayStore();
  store.fileName() = "same.rep";
  store.AppendInputFrame({1, 0, 0, 0, 0});
  store.FinishReplay(5, 0);
  ASSERT_TRUE(store.WriteReplayFile());
  store.ResetReplayStore();
  store.FinishReplay(6, 0);
  ASSERT_TRUE(store.WriteReplayFile());
  EXPECT_EQ(fs::file_size(dir_ / "replay" / "same.rep"), kReplayHeaderArea);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "replay"), {}), 1);  // nothing beside it
}

// --- the recorded reference games ---

std::vector<fs::path> GoldenReplays() {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(QUADREL_GOLDEN_DIR))
    if (e.path().extension() == ".rep") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Golden, EveryRecordedGamePlaysWithTheSameScoreAtEveryFrameAndTheSameEnd) {
  const auto replays = GoldenReplays();
  ASSERT_EQ(replays.size(), 6u) << "golden replays missing from " << QUADREL_GOLDEN_DIR;
  for (const fs::path& rep : replays) {
    std::vector<TracePoint> trace;
    const ReplayCheck check = CheckReplay(rep.string(), &trace);
    EXPECT_EQ(check.outcome, ReplayCheck::Outcome::Ok) << FormatCheck(rep.string(), check);

    fs::path tracePath = rep;
    tracePath.replace_extension(".trace");
    std::ifstream in(tracePath);
    std::string line;
    size_t i = 0;
    std::string endLine;
    while (std::getline(in, line)) {
      if (line.rfind("end ", 0) == 0) {
        endLine = line;
        continue;
      }
      ASSERT_LT(i, trace.size()) << rep;
      EXPECT_EQ(line, std::to_string(trace[i].frame) + " " + std::to_string(trace[i].score))
          << rep << " line " << i + 1;
      ++i;
    }
    EXPECT_EQ(i, trace.size()) << rep;
    const ReplayEndState& e = check.end;
    std::ostringstream end;
    end << "end score=" << e.score << " level=" << e.level << " phase=" << e.phase
        << " blocksCleared=" << e.blocksCleared << " ballsLost=" << e.ballsLost
        << " ballStock=" << e.ballStock;
    if (e.phase == AllClear) end << " allclear_final=" << check.score;
    EXPECT_EQ(end.str(), endLine) << rep;
  }
}

}  // namespace
}  // namespace quadrel::test
