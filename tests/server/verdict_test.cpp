// The game's registrations against a live server, on SQLite and on PostgreSQL:
// every verdict the game understands, from the bytes the game sends.
#include <gtest/gtest.h>

#include <cstring>

#include "GameClient.hpp"
#include "ServerFixture.hpp"

namespace quadrel::test {
namespace {

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class Verdicts : public ::testing::TestWithParam<std::string> {
 protected:
  std::unique_ptr<LiveServer> Start(int top = 100) {
    if (GetParam() == "postgres" && PostgresAdminUrl().empty())
      return nullptr;
    server::ServerOptions options;
    options.top = top;
    options.threads = 4;
    auto live = std::make_unique<LiveServer>(GetParam(), options);
    EXPECT_TRUE(live->ready());
    return live;
  }
  void SetUp() override {
    if (GetParam() == "postgres" && PostgresAdminUrl().empty())
      GTEST_SKIP() << "no PostgreSQL cluster (run through server_postgres.sh)";
    golden_ = GoldenReplays();
    ASSERT_EQ(golden_.size(), 6u) << "recorded games missing";
  }
  std::vector<std::string> golden_;
};

TEST_P(Verdicts, AcceptsEveryGoldenGameAndPublishesIt) {
  auto live = Start();
  std::vector<std::string> replays;
  for (size_t i = 0; i < golden_.size(); ++i) {
    replays.push_back(ReadBinaryFile(golden_[i]));
    const std::string reply =
        Register(live->port(), FieldsFor(replays[i], "PLAYER " + std::to_string(100 + i),
                                         BaseName(golden_[i])));
    EXPECT_EQ(StatusOf(reply), 200) << reply;
    EXPECT_EQ(BodyOf(reply), "OK") << golden_[i];
    EXPECT_EQ(VerdictOf(reply), 0);
  }
  // Best first: the all-clear game leads with 77600680.
  const std::string json = BodyOf(HttpGet(live->port(), "/api/top?n=2"));
  EXPECT_NE(json.find("\"rank\":1,\"name\":\"PLAYER 105\",\"score\":77600680,\"level\":\"ALL\""),
            std::string::npos) << json;
  EXPECT_NE(json.find("\"rank\":2,\"name\":\"PLAYER 104\",\"score\":15677530"), std::string::npos);
  EXPECT_EQ(json.find("\"rank\":3"), std::string::npos);

  const std::string page = BodyOf(HttpGet(live->port(), "/"));
  EXPECT_NE(page.find("<td class=\"score\">77600680</td><td class=\"level\">ALL</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"score\">109920</td><td class=\"level\">1</td>"),
            std::string::npos);

  // The replay comes back byte for byte under its original name.
  const std::string download = HttpGet(live->port(), "/replays/1.rep");
  EXPECT_EQ(BodyOf(download), replays[0]);
  EXPECT_NE(download.find("Content-Disposition: attachment; filename=\"" + BaseName(golden_[0]) +
                          "\""),
            std::string::npos) << download.substr(0, 300);
  EXPECT_EQ(StatusOf(HttpGet(live->port(), "/replays/99.rep")), 404);
  EXPECT_EQ(StatusOf(HttpGet(live->port(), "/replays/..%2Franking.sqlite")), 404);
  EXPECT_EQ(StatusOf(HttpGet(live->port(), "/api/top?n=-1")), 400);
}

TEST_P(Verdicts, RefusesWhatDoesNotVerifyAndStoresNothing) {
  auto live = Start();
  const std::string replay = ReadBinaryFile(golden_[3]);  // 07378920, lost in level 3
  const GameFields good = FieldsFor(replay, "ABCDEFGHIJ", BaseName(golden_[3]));
  struct Case {
    const char* what;
    GameFields fields;
  };
  std::vector<Case> cases;
  {
    GameFields f = good;  // one recorded score in the middle of the game edited
    int32_t score = 0;
    const size_t at = 160 + 12 * 1000 + 8;
    std::memcpy(&score, f.data.data() + at, 4);
    score += 10;
    std::memcpy(f.data.data() + at, &score, 4);
    cases.push_back({"edited recorded score", f});
  }
  {
    GameFields f = good;
    f.score = std::to_string(std::stoi(f.score) + 1000);
    cases.push_back({"forged score field", f});
  }
  {
    GameFields f = good;  // header and field forged together: the simulation disagrees
    const int32_t forged = 99999990;
    std::memcpy(f.data.data() + 20, &forged, 4);
    f.score = std::to_string(forged);
    cases.push_back({"forged header score", f});
  }
  {
    GameFields f = good;
    f.level = "4";
    cases.push_back({"forged level", f});
  }
  {
    GameFields f = good;
    f.daytime = "2005/05/13 10:11:35";
    cases.push_back({"daytime not the replay's", f});
  }
  for (const char* name : {"ABCDEFGHI", "ABCDEFGHIJK", "ABCDE\tGHIJ", ""}) {
    GameFields f = good;
    f.name = name;
    cases.push_back({"name not ten printable characters", f});
  }
  for (const char* score : {"07378920", "+7378920", "7378920x", "", "99999999999"}) {
    GameFields f = good;
    f.score = score;
    cases.push_back({"score not %d", f});
  }
  {
    GameFields f = good;
    f.daytime = "2005-05-13 10:11:34";
    cases.push_back({"daytime shape", f});
  }
  {
    GameFields f = good;
    f.cmd = "delete";
    cases.push_back({"cmd", f});
  }
  {
    GameFields f = good;
    f.data = f.data.substr(0, f.data.size() - 5);
    cases.push_back({"replay cut in a frame", f});
  }
  for (const auto& c : cases) {
    const std::string reply = Register(live->port(), c.fields);
    EXPECT_EQ(VerdictOf(reply), -1) << c.what << ": " << reply;
  }
  // A field missing, a field repeated.
  const std::string body = GameBody(good);
  const std::string withoutLevel =
      FormPart("cmd", "regist", false) + FormPart("ver", "20050511", false) +
      FormPart("name", good.name, false) + FormPart("daytime", good.daytime, false) +
      FormPart("score", good.score, false) + FormPart("filename", good.filename, false) +
      FormPart("data", good.data, true) + "--0123456789ABCD--\r\n";
  EXPECT_EQ(VerdictOf(Exchange(live->port(), GameRequest(withoutLevel))), -1);
  const std::string twice = FormPart("name", "ZZZZZZZZZZ", false) + body;
  EXPECT_EQ(VerdictOf(Exchange(live->port(), GameRequest(twice))), -1);

  EXPECT_EQ(BodyOf(HttpGet(live->port(), "/api/top")), "[\n]\n");
  // The honest registration still goes through.
  EXPECT_EQ(BodyOf(Register(live->port(), good)), "OK");
}

TEST_P(Verdicts, RefusesTheSameGameAgainInAnyDisguise) {
  auto live = Start();
  const std::string replay = ReadBinaryFile(golden_[0]);
  const GameFields first = FieldsFor(replay, "FIRST     ", BaseName(golden_[0]));
  EXPECT_EQ(BodyOf(Register(live->port(), first)), "OK");

  GameFields again = first;
  again.name = "SECOND    ";
  EXPECT_EQ(VerdictOf(Register(live->port(), again)), -1) << "repeated registration";

  GameFields redated = again;  // the same game under another date
  std::memcpy(redated.data.data() + 24, "2006/01/01 00:00:00", 19);
  redated.daytime = "2006/01/01 00:00:00";
  EXPECT_EQ(VerdictOf(Register(live->port(), redated)), -1) << "same game, other date";

  GameFields padded = again;  // ignored bytes changed: button low bits, reserved bytes
  for (size_t at = 160; at + 12 <= padded.data.size(); at += 12) {
    padded.data[at + 3] = 7;
    if (padded.data[at + 2] != 0) padded.data[at + 2] = static_cast<char>(0x81);
  }
  EXPECT_EQ(VerdictOf(Register(live->port(), padded)), -1) << "same game, other padding";

  GameFields moved = again;  // the leaving click moves the bar on the game-over screen
  moved.data[moved.data.size() - 12] = 77;
  EXPECT_EQ(VerdictOf(Register(live->port(), moved)), -1) << "same game, other last move";

  // A different game of the same score is a new registration.
  GameFields other = again;
  other.data = ReplayVariant(replay, 77);
  EXPECT_EQ(BodyOf(Register(live->port(), other)), "OK");

  // That game again with a record that applies nothing (no move, no button)
  // where its leaving click used to be: another file and trace, the same play.
  GameFields idle = other;
  std::string record = idle.data.substr(idle.data.size() - 12);
  std::memcpy(record.data() + 4, replay.data() + replay.size() - 8, 4);
  record[0] = record[1] = record[2] = 0;
  idle.data.insert(idle.data.size() - 12, record);
  EXPECT_EQ(VerdictOf(Register(live->port(), idle)), -1) << "same game, an empty record added";
}

TEST_P(Verdicts, OutOfRankWhenTheBoardIsFullOfBetterScores) {
  auto live = Start(2);
  auto fields = [&](size_t i, const std::string& name) {
    return FieldsFor(ReadBinaryFile(golden_[i]), name, BaseName(golden_[i]));
  };
  // golden_ sorted by name, that is by score: 5 and 4 are the best two.
  EXPECT_EQ(BodyOf(Register(live->port(), fields(5, "BEST      "))), "OK");
  EXPECT_EQ(BodyOf(Register(live->port(), fields(4, "SECOND    "))), "OK");
  const std::string reply = Register(live->port(), fields(2, "THIRD     "));
  EXPECT_EQ(VerdictOf(reply), -2) << reply;
  EXPECT_EQ(StatusOf(reply), 200);
  // An equal score ranks below the earlier one: still out.
  GameFields equal = fields(4, "EQUAL     ");
  equal.data = ReplayVariant(equal.data, 5);
  EXPECT_EQ(VerdictOf(Register(live->port(), equal)), -2);
  // A forged replay of a low score is refused as forged, not as out of rank.
  GameFields forged = fields(0, "FORGED    ");
  forged.score = "1";
  EXPECT_EQ(VerdictOf(Register(live->port(), forged)), -1);
}

TEST_P(Verdicts, OtherVersionIsBadVersionWhateverElseItSends) {
  auto live = Start();
  GameFields f = FieldsFor(ReadBinaryFile(golden_[0]), "ABCDEFGHIJ", BaseName(golden_[0]));
  f.ver = "20050512";
  EXPECT_EQ(VerdictOf(Register(live->port(), f)), -3);
  f.name = "short";
  f.ver = "1";
  EXPECT_EQ(VerdictOf(Register(live->port(), f)), -3);
  EXPECT_EQ(BodyOf(HttpGet(live->port(), "/api/top")), "[\n]\n");
}

INSTANTIATE_TEST_SUITE_P(Storage, Verdicts, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace quadrel::test
