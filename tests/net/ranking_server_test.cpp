// The player's choice of ranking server: what "host[:port]" values pass, which
// source wins, and the request that reaches a server named that way.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <vector>

#include "LoopbackServer.hpp"
#include "MessageLog.hpp"
#include "net/Registration.hpp"

namespace quadrel::test {
namespace {

using Mode = LoopbackServer::Mode;
// A host name of the longest kind: 253 characters.
const std::string kLongestName = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                                 std::string(63, 'c') + "." + std::string(61, 'd');

TEST(RankingServer, HostAndPortValuesPassOrAreRefused) {
  for (const std::string& text : {std::string("localhost"), std::string("ranking.example.org:8080"),
                                  std::string("192.0.2.7:1"), std::string("[::1]:65535"),
                                  std::string("[2001:db8::1]"), std::string("my_board-2.test"),
                                  kLongestName + ":65535", BuiltInRankingServer()}) {
    EXPECT_EQ(RankingServerProblem(text), "") << text;
  }
  for (const std::string& text :
       {std::string(""), std::string(" "), std::string("a b"), std::string("host:0"),
        std::string("host:65536"), std::string("host:"), std::string("host:80x"),
        std::string("host:+80"), std::string("host:8080:1"), std::string("[::1"),
        std::string("[::1]x"), std::string("[::1]:"), std::string("[zz::1]"), std::string("::1"),
        std::string("http://host"), std::string("host/path"), std::string("user@host"),
        std::string("\x1b[31mhost"), std::string("host\t"), std::string("ho\x7fst"),
        std::string(".host"), std::string("host."), std::string("-host"), std::string("a..b"),
        std::string("999.0.0.1"), std::string("1.2.3"), std::string(64, 'a'),
        kLongestName + "e:65535", std::string(300, 'a')}) {
    EXPECT_NE(RankingServerProblem(text), "") << text;
  }
}

TEST(RankingServer, EnvironmentWinsOverTheFileAndRefusalsFallBackWithOneLine) {
  EXPECT_EQ(ChooseRankingServer("env.test:81", std::string("file.test")).server, "env.test:81");
  EXPECT_EQ(ChooseRankingServer(nullptr, std::string("[::1]:8080")).server, "[::1]:8080");
  RankingServerChoice none = ChooseRankingServer(nullptr, std::nullopt);
  EXPECT_EQ(none.server, BuiltInRankingServer());
  EXPECT_EQ(none.warning, "");

  // A refused variable is not replaced by the file's value: the player asked for another.
  RankingServerChoice env = ChooseRankingServer("", std::string("file.test"));
  EXPECT_EQ(env.server, BuiltInRankingServer());
  EXPECT_NE(env.warning.find("QUADREL_RANKING_SERVER"), std::string::npos) << env.warning;
  RankingServerChoice file = ChooseRankingServer(nullptr, std::string("host:99999\x1b[2J"));
  EXPECT_EQ(file.server, BuiltInRankingServer());
  EXPECT_NE(file.warning.find("ranking_server in settings.ini"), std::string::npos);
  // One printable line, whatever the value held.
  EXPECT_NE(file.warning.find("\"host:99999?[2J\""), std::string::npos) << file.warning;
  for (char c : file.warning) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
}

TEST(RankingServer, Ipv6ServerGetsItsAddressInBracketsInTheHostLines) {
  // Brackets only in the URL: the client gets host and port.
  UrlParts parts;
  ASSERT_EQ(Http{}.ParseUrl(parts, RankingUrl("[2001:db8::1]:8080")), kHttpOk);
  EXPECT_EQ(parts.host, "2001:db8::1");
  EXPECT_EQ(parts.port, 8080);
  LoopbackServer server(Mode::Reply, "HTTP/1.0 200 OK\r\n\r\n0", AF_INET6);
  if (!server.listening()) GTEST_SKIP() << "no IPv6 loopback here";
  MessageLog log;
  Http http;
  RegistrationForm form;
  form.name = "ABC       ";
  const std::string port = std::to_string(server.port());
  EXPECT_EQ(RegisterOnline(http, RankingUrl("[::1]:" + port), form), Verdict::Accepted);
  EXPECT_EQ(http.lookupCount(), 0);
  const std::string request = server.Request();
  EXPECT_EQ(request.rfind("POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(request.find("\r\nHost: [::1]\r\n\r\n--0123456789ABCD\r\n"), std::string::npos);

  LoopbackServer again(Mode::Reply, "HTTP/1.0 200 OK\r\n\r\n", AF_INET6);
  char reply[64];
  EXPECT_EQ(http.Get(again.Url("/"), reply, sizeof reply), kHttpOk);
  EXPECT_EQ(again.Request(), "GET / HTTP/1.0\r\nHost: [::1]:" +
                                 std::to_string(again.port()) + "\r\n\r\n");
  EXPECT_TRUE(log.shown.empty());
}

TEST(RankingServer, LongestAcceptedNameFitsThePostHeader) {
  LoopbackServer server(Mode::Reply, "HTTP/1.0 200 OK\r\n\r\n0");
  const std::string text = kLongestName + ":" + std::to_string(server.port());
  ASSERT_EQ(RankingServerProblem(text), "");
  MessageLog log;
  Http http;
  http.lookup = [](const std::string&, std::vector<std::string>& out) {
    out = {"127.0.0.1"};
    return true;
  };
  RegistrationForm form;
  EXPECT_EQ(RegisterOnline(http, RankingUrl(text), form), Verdict::Accepted);
  EXPECT_NE(server.Request().find("\r\nHost: " + kLongestName + "\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(log.shown.empty());
}

}  // namespace
}  // namespace quadrel::test
