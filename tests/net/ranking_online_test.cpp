// The ranking scene's "Regist Internet Ranking ?" answered Yes, through the
// real registration, against a loopback server: the request carries the new
// row and the replay, and each verdict (or no server) shows its message.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "LoopbackServer.hpp"
#include "MessageLog.hpp"
#include "SceneRig.hpp"
#include "app/Shell.hpp"
#include "net/Registration.hpp"
#include "scenes/RankingScene.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

using Mode = LoopbackServer::Mode;
constexpr int kA = 0x1E, kC = 0x2E, kE = 0x12, kShift = 0x2A;
constexpr const char* kPath = protocol::kRankingPath;

std::string Part(const std::string& name, const std::string& value, bool binary = false) {
  return "--0123456789ABCD\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n" +
         (binary ? "Content-Type: octet/stream" : "Content-Type: text/plain") + "\r\n\r\n" +
         value + "\r\n";
}

// One visit of the ranking scene after a game of score 1500 that cleared all
// levels, in its own folder, registering with the server at url.
struct Visit {
  SceneRig rig;
  RankingTable table;
  // Before the scene: the scene's end joins the exchange that uses it.
  Http http;
  RankingScene scene{rig.services, table, rig.store};
  AppContext& ctx = rig.ctx;

  explicit Visit(const std::string& url) {
    rig.services.registerOnline = [this, url](const RankingEntry& row, int32_t level,
                                              const ReplayStore& store,
                                              const std::atomic<bool>& cancel) {
      http.cancel = &cancel;
      return static_cast<int32_t>(RegisterOnline(http, url, RegistrationFormFor(row, level, store)));
    };
    std::tm end{};
    end.tm_year = 126;
    end.tm_mon = 11;
    end.tm_mday = 7;
    end.tm_hour = 18;
    end.tm_min = 5;
    end.tm_sec = 9;
    ctx.finishLocalTime = end;
    ctx.reachedLevel = 5;
    ctx.scene = Ranking;
    rig.store.ResetReplayStore();
    for (int16_t i = 0; i < 50; ++i)
      rig.store.AppendInputFrame(InputFrame{i, 1, 0, i * 3, i * 100});
    ctx.score = 1500;
    rig.store.fileName() = ReplayFileName(1500, end);
    rig.store.FinishReplay(1500, 5);
  }
  void Tick() {
    if (ctx.scene != Ranking) return;
    ASSERT_EQ(scene.Initialise(ctx), 0);
    scene.Input(ctx);
    if (ctx.scene != Ranking) return;
    scene.Update(ctx);
    scene.Draw(ctx);
  }
  void Key(int code, bool down) {
    rig.input.keys.keys[code] = down ? 0x80 : 0;
    Tick();
  }
  void Type(int code) {
    Key(code, true);
    Key(code, false);
  }
  void Click(int x, int y) {
    ctx.mouseX = x;
    ctx.mouseY = y;
    rig.input.Button(true);
    Tick();
    rig.input.Button(false);
    Tick();
  }
  // Name "Ace", Enter, No to saving the replay, Yes to the registration.
  void AnswerYes() {
    Tick();
    ASSERT_EQ(scene.step(), NameEntryStep);
    Key(kShift, true);
    Type(kA);
    Key(kShift, false);
    Type(kC);
    Type(kE);
    Type(key::Enter);
    ASSERT_EQ(scene.step(), AskSaveStep);
    Click(420, 410);
    for (int i = 0; i < 100 && scene.step() == SaveResultStep; ++i) Tick();
    ASSERT_EQ(scene.step(), AskRegisterStep);
    rig.StartLog();
    Click(220, 410);
    ASSERT_EQ(scene.step(), RegisterResultStep);
  }
  // Ticks until the answer is in.
  void AwaitAnswer() {
    for (int i = 0; i < 20000 && scene.sending(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      Tick();
    }
    ASSERT_FALSE(scene.sending());
  }
};

class InFreshFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quadrel-online-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(home_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path home_ = fs::current_path(), dir_;
};

TEST_F(InFreshFolder, RegistrationSendsTheNewRowAndTheReplay) {
  LoopbackServer server(Mode::Reply, "HTTP/1.0 200 OK\r\n\r\n0");
  MessageLog log;
  Visit visit(server.Url(kPath));
  visit.AnswerYes();
  visit.AwaitAnswer();
  EXPECT_EQ(visit.scene.messageText(), "Complete !");

  const ReplayStore& store = visit.rig.store;
  std::string body =
      Part("cmd", "regist") + Part("ver", "20050511") + Part("name", "Ace       ") +
      Part("daytime", "2026/12/07 18:05:09") + Part("score", "1500") + Part("level", "5") +
      Part("filename", "00001500_20261207_180509.rep") +
      Part("data", std::string(reinterpret_cast<const char*>(store.data()), store.usedSize()),
           true) +
      "--0123456789ABCD--\r\n";
  std::string expected = std::string("POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n") +
                         "Content-type: multipart/form-data; boundary=\"0123456789ABCD\"\r\n" +
                         "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                         "Host: 127.0.0.1\r\n\r\n" + body;
  EXPECT_EQ(store.usedSize(), 160u + 50u * 12u);
  EXPECT_TRUE(server.Request() == expected);
  EXPECT_TRUE(log.shown.empty());
}

TEST_F(InFreshFolder, EachVerdictOfTheServerShowsItsMessage) {
  struct Case {
    const char* reply;
    const char* text;
    uint32_t colour;
  };
  const Case cases[] = {
      {"HTTP/1.0 200 OK\r\n\r\n0", "Complete !", 0xFF96C8FFu},
      {"HTTP/1.0 200 OK\r\n\r\n-1", "ERROR", 0xFFFF0000u},
      {"HTTP/1.0 200 OK\r\n\r\n-2", "Out of Rank...", 0xFFFF00C8u},
      {"HTTP/1.0 200 OK\r\n\r\n-3", "Bad Version", 0xFFFF0000u},
  };
  for (const Case& c : cases) {
    LoopbackServer server(Mode::Reply, c.reply);
    MessageLog log;
    Visit visit(server.Url(kPath));
    visit.AnswerYes();
    visit.AwaitAnswer();
    visit.Tick();
    EXPECT_EQ(visit.scene.messageText(), c.text);
    EXPECT_EQ(visit.scene.messageColour(), c.colour);
    char drawn[96];
    std::snprintf(drawn, sizeof drawn, "DrawTextShadow(\"%s\",320,340,3,1,0x%08X", c.text,
                  c.colour);
    EXPECT_GE(visit.rig.Find(drawn), 0) << drawn;
    EXPECT_EQ(server.connections(), 1);
    fs::remove("ranking.dat");
  }
}

TEST_F(InFreshFolder, WithoutAServerTheSceneShowsErrorAndGoesOn) {
  MessageLog log;
  Visit visit("http://127.0.0.1:" + std::to_string(UnusedPort()) + kPath);
  visit.AnswerYes();
  visit.AwaitAnswer();
  EXPECT_EQ(visit.scene.messageText(), "ERROR");
  EXPECT_EQ(log.shown, (std::vector<std::string>{"Error: could not connect to the ranking server.", "Could not reach the ranking server."}));
  for (int i = 0; i < 100 && visit.scene.step() == RegisterResultStep; ++i) visit.Tick();
  EXPECT_EQ(visit.scene.step(), FinishStep);
}

// The window the loop reads: idles pass the real time on to the scene's
// clock, and a close request is an event like the others.
struct RealTimeWindow final : app::WindowSystem {
  explicit RealTimeWindow(platform::FakeClock& c) : clock(c) {}
  bool PollEvent(app::WindowEvent& e) override {
    if (!closeRequested) return false;
    e = app::WindowEvent{app::WindowEvent::Quit};
    closeRequested = false;
    return true;
  }
  bool Minimised() override { return false; }
  void Idle() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto now = std::chrono::steady_clock::now();
    clock.Advance(static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count()));
    last += std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
  }
  platform::FakeClock& clock;
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  bool closeRequested = false;
};

TEST_F(InFreshFolder, ATricklingServerStopsNeitherTheFramesNorTheClose) {
  using Clock = std::chrono::steady_clock;
  LoopbackServer server(Mode::Trickle, "HTTP/1.0 200 OK\r\n\r\n0");
  MessageLog log;
  auto visit = std::make_unique<Visit>(server.Url(kPath));
  visit->AnswerYes();
  ASSERT_TRUE(visit->scene.sending());
  RealTimeWindow window(visit->rig.clock);
  app::Shell shell(visit->ctx, window, visit->rig.clock, {&visit->scene});
  const Clock::time_point start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(1)) ASSERT_TRUE(shell.Pass());
  // About 60 frames a second, each with the quiet notice where the answer will show.
  const int frames = visit->rig.Count("DrawText(\"Sending...\",320,350,1,");
  std::printf("frames drawn while sending, in 1 s: %d\n", frames);
  EXPECT_GE(frames, 30);
  EXPECT_TRUE(visit->scene.sending());

  window.closeRequested = true;
  const Clock::time_point close = Clock::now();
  EXPECT_FALSE(shell.Pass());
  visit.reset();  // the program lets go of its scenes: the exchange is cancelled
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - close);
  std::printf("close answered in %lld ms\n", static_cast<long long>(took.count()));
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_TRUE(log.shown.empty());  // a cancelled exchange reports nothing
}

}  // namespace
}  // namespace quadrel::test
