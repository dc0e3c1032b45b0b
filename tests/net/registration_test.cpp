// Registration with the internet ranking: the request as the server receives
// it, the verdict rule, the body's size, and transport failures ending in -1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "LoopbackServer.hpp"
#include "MessageLog.hpp"
#include "net/Registration.hpp"

namespace quadrel::test {
namespace {

using Mode = LoopbackServer::Mode;
using Strings = std::vector<std::string>;
constexpr const char* kPath = protocol::kRankingPath;

std::string Reply(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

std::string TextPart(const std::string& name, const std::string& value) {
  return "--0123456789ABCD\r\nContent-Disposition: form-data; name=\"" + name +
         "\"\r\nContent-Type: text/plain\r\n\r\n" + value + "\r\n";
}

std::string BinaryPart(const std::string& name, const std::vector<uint8_t>& value) {
  return "--0123456789ABCD\r\nContent-Disposition: form-data; name=\"" + name +
         "\"\r\nContent-Type: octet/stream\r\n\r\n" + std::string(value.begin(), value.end()) +
         "\r\n";
}

struct Game {
  std::vector<uint8_t> replay;
  RegistrationForm form;
  explicit Game(size_t replaySize = 300) : replay(replaySize) {
    // Bytes that look like the form's own markers must pass unchanged.
    const char tricky[] = "for Quadrel data.\0\r\n--0123456789ABCD--\r\n";
    for (size_t i = 0; i < replay.size(); ++i) replay[i] = static_cast<uint8_t>(i * 7);
    if (!replay.empty()) std::memcpy(replay.data(), tricky, std::min(sizeof tricky, replay.size()));
    form.name = "ABC       ";
    form.dateTime = "2026/12/07 17:30:05";
    form.score = 1500;
    form.level = 5;
    form.fileName = "00001500_20261207_173005.rep";
    form.data = replay.data();
    form.size = replay.size();
  }
  std::string Body() const {
    return TextPart("cmd", "regist") + TextPart("ver", "20050511") +
           TextPart("name", "ABC       ") + TextPart("daytime", "2026/12/07 17:30:05") +
           TextPart("score", "1500") + TextPart("level", "5") +
           TextPart("filename", "00001500_20261207_173005.rep") + BinaryPart("data", replay) +
           "--0123456789ABCD--\r\n";
  }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Registration, RequestIsByteExact) {
  LoopbackServer server(Mode::Reply, Reply("0"));
  MessageLog log;
  Http http;
  Game game;
  EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Accepted);
  std::string body = game.Body();
  std::string expected = std::string("POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n") +
                         "Content-type: multipart/form-data; boundary=\"0123456789ABCD\"\r\n" +
                         "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                         "Host: 127.0.0.1\r\n" + "\r\n" + body;
  std::string request = server.Request();
  EXPECT_EQ(request.size(), expected.size());
  EXPECT_TRUE(request == expected) << request.substr(0, 1200);
  EXPECT_TRUE(log.shown.empty());
}

TEST(Registration, VerdictIsReadFromTheLastTwoCharacters) {
  EXPECT_EQ(ReplyVerdict("-2"), Verdict::OutOfRank);
  EXPECT_EQ(ReplyVerdict("HTTP/1.0 200 OK\r\n\r\n-1"), Verdict::Failed);
  EXPECT_EQ(ReplyVerdict("x-3"), Verdict::BadVersion);
  EXPECT_EQ(ReplyVerdict("-1\n"), Verdict::Accepted);
  EXPECT_EQ(ReplyVerdict("-2 and more"), Verdict::Accepted);
  EXPECT_EQ(ReplyVerdict("-4"), Verdict::Accepted);
  EXPECT_EQ(ReplyVerdict("2"), Verdict::Accepted);
  EXPECT_EQ(ReplyVerdict(""), Verdict::Accepted);

  EXPECT_TRUE(ReplyHasSuccessStatus("HTTP/1.0 200 OK\r\n\r\n"));
  EXPECT_TRUE(ReplyHasSuccessStatus("HTTP/1.1 204 No Content\r\n\r\n"));
  EXPECT_FALSE(ReplyHasSuccessStatus("HTTP/1.0 404 Not Found\r\n\r\n-2"));
  EXPECT_FALSE(ReplyHasSuccessStatus("HTTP/1.0 20"));
  EXPECT_FALSE(ReplyHasSuccessStatus("HTTP/1.0\r\n 200"));
  EXPECT_FALSE(ReplyHasSuccessStatus("-2"));
  EXPECT_FALSE(ReplyHasSuccessStatus(""));
}

TEST(Registration, ServerVerdictsBecomeOutcomes) {
  struct Case {
    std::string reply;
    Verdict outcome;
  };
  const Case cases[] = {
      {Reply("0"), Verdict::Accepted},
      {Reply("-1"), Verdict::Failed},
      {Reply("-2"), Verdict::OutOfRank},
      {Reply("-3"), Verdict::BadVersion},
      {Reply("-1\n"), Verdict::Accepted},
      {Reply("-2 rank 11"), Verdict::Accepted},
      {Reply(""), Verdict::Accepted},
      // Not an answer of the ranking at all.
      {"HTTP/1.0 404 Not Found\r\n\r\n-2", Verdict::Failed},
      {"-2", Verdict::Failed},
  };
  for (const Case& c : cases) {
    LoopbackServer server(Mode::Reply, c.reply);
    MessageLog log;
    Http http;
    Game game;
    EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), c.outcome) << c.reply;
    if (c.outcome == Verdict::Failed && c.reply != Reply("-1"))
      EXPECT_EQ(log.shown, Strings{"Error: the ranking server's answer is not valid."}) << c.reply;
    else
      EXPECT_TRUE(log.shown.empty()) << c.reply;
  }
}

TEST(Registration, BodyIsSizedToTheReplayUpToTheServersLimit) {
  // Everything but the replay bytes, counted from the image.
  const size_t overhead = Game(0).Body().size();
  // The store's whole buffer, and a body of exactly what the server takes.
  for (size_t size : {size_t{kReplayBufferSize}, kRegistrationBodyMax - overhead}) {
    LoopbackServer server(Mode::Reply, Reply("0"));
    MessageLog log;
    Http http;
    Game game(size);
    EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Accepted);
    const std::string body = game.Body();
    const std::string request = server.Request();
    EXPECT_NE(request.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    ASSERT_EQ(request.size(), request.find("\r\n\r\n") + 4 + body.size());
    EXPECT_TRUE(request.compare(request.size() - body.size(), body.size(), body) == 0);
    EXPECT_TRUE(log.shown.empty());
  }
  LoopbackServer server(Mode::Reply, Reply("0"));
  MessageLog log;
  Http http;
  Game game(kRegistrationBodyMax - overhead + 1);
  EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_EQ(log.shown, Strings{"Error: the data to send does not fit in the buffer."});
}

TEST(Registration, ReplayCutAtTheStoreLimitIsNotSent) {
  ReplayStore store;
  store.ResetReplayStore();
  store.fileName() = "00001500_20050511_130405.rep";
  while (!store.overflowed()) store.AppendInputFrame(InputFrame{1, 0, 0, 0, 0});  // warns once on stderr
  RankingEntry row{1500, "ABC       ", "2005/05/11 13:04:05"};
  const RegistrationForm form = RegistrationFormFor(row, 0, store);
  EXPECT_FALSE(form.complete);
  LoopbackServer server(Mode::Reply, Reply("0"));
  Http http;
  EXPECT_EQ(RegisterOnline(http, server.Url(kPath), form), Verdict::Failed);
  EXPECT_EQ(server.connections(), 0);
}

TEST(Registration, ReplyLongerThanTheBufferHasNoVerdict) {
  LoopbackServer server(Mode::Reply, Reply(std::string(kRegistrationReplySize, ' ') + "-2"));
  MessageLog log;
  Http http;
  Game game;
  EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
  EXPECT_TRUE(http.lastReplyCut());
}

TEST(Registration, TransportFailuresAreFailures) {
  Game game(490000);
  {
    MessageLog log;
    Http http;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RegisterOnline(http, "http://127.0.0.1:" + std::to_string(UnusedPort()) + kPath,
                             game.form),
              Verdict::Failed);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(log.shown, (Strings{"Error: could not connect to the ranking server.", "Could not reach the ranking server."}));
  }
  {
    // A server gone before the large request is written: no SIGPIPE, no verdict.
    LoopbackServer server(Mode::CloseAtOnce);
    MessageLog log;
    Http http;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_FALSE(log.shown.empty());
  }
  {
    LoopbackServer server(Mode::Stall, "HTTP/1.0 200 OK\r\n\r\n");
    MessageLog log;
    Http http;
    http.progressTimeoutSeconds = 0.3;
    EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
    EXPECT_EQ(log.shown, Strings{"The ranking server did not answer in time."});
  }
  {
    LoopbackServer server(Mode::Reset, "HTTP/1.0 200 OK\r\n\r\n0");
    MessageLog log;
    Http http;
    EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
  }
}

TEST(Registration, SilentServerIsAFailureAfterThreeSeconds) {
  LoopbackServer server(Mode::Silent);
  MessageLog log;
  Http http;
  Game game;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RegisterOnline(http, server.Url(kPath), game.form), Verdict::Failed);
  double seconds = SecondsSince(start);
  EXPECT_GE(seconds, 2.9);
  EXPECT_LT(seconds, 4.5);
  EXPECT_EQ(log.shown, Strings{"The ranking server did not answer in time."});
}

}  // namespace
}  // namespace quadrel::test
