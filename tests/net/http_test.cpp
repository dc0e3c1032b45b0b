// The HTTP client against loopback servers: URL handling, the GET and POST
// wire images, the buffer limits, and every way an exchange can fail.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "LoopbackServer.hpp"
#include "MessageLog.hpp"
#include "net/Http.hpp"

namespace quadrel::test {
namespace {

using Mode = LoopbackServer::Mode;
using Strings = std::vector<std::string>;
constexpr char kOkReply[] = "HTTP/1.0 200 OK\r\n\r\nhello";

std::string PostHeader(const std::string& path, size_t length, const std::string& host) {
  return "POST " + path + " HTTP/1.0\r\n" +
         "Content-type: multipart/form-data; boundary=\"0123456789ABCD\"\r\n" +
         "Content-Length: " + std::to_string(length) + "\r\n" + "Host: " + host + "\r\n\r\n";
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(HttpUrl, SplitsHostPortAndPath) {
  MessageLog log;
  Http http;
  UrlParts parts;
  ASSERT_EQ(http.ParseUrl(parts, "http://example.org"), kHttpOk);
  EXPECT_EQ(parts.host, "example.org");
  EXPECT_EQ(parts.path, "/");
  EXPECT_EQ(parts.port, 80);
  ASSERT_EQ(http.ParseUrl(parts, "http://example.org:8080/a/b.cgi?x=1:2"), kHttpOk);
  EXPECT_EQ(parts.host, "example.org");
  EXPECT_EQ(parts.path, "/a/b.cgi?x=1:2");
  EXPECT_EQ(parts.port, 8080);
  // Leading digits make the port, as atoi reads them.
  ASSERT_EQ(http.ParseUrl(parts, "http://h:81x/"), kHttpOk);
  EXPECT_EQ(parts.port, 81);
  ASSERT_EQ(http.ParseUrl(parts, "http://h:/"), kHttpOk);
  EXPECT_EQ(parts.port, 0);
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpUrl, RefusesWhatDoesNotFitOrIsNotHttp) {
  Http http;
  UrlParts parts;
  for (const std::string& url :
       {std::string("HTTP://example.org/"), std::string("https://example.org/"),
        std::string("http:/"), "http://" + std::string(256, 'h') + "/",
        "http://h/" + std::string(4095, 'p'), std::string("http://h:70000/"),
        std::string("http://h:00000080/")}) {
    MessageLog log;
    EXPECT_EQ(http.ParseUrl(parts, url), kHttpFail) << url;
    EXPECT_EQ(log.shown, Strings{"URL is wrong."}) << url;
  }
  MessageLog log;
  EXPECT_EQ(http.ParseUrl(parts, "http://" + std::string(255, 'h') + "/" +
                                     std::string(4094, 'p')), kHttpOk);
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpUrl, CapitalSchemeIsRejectedBeforeAnyConnection) {
  LoopbackServer server(Mode::Reply, kOkReply);
  MessageLog log;
  Http http;
  char reply[64];
  std::string port = std::to_string(server.port());
  EXPECT_EQ(http.Get("HTTP://127.0.0.1:" + port + "/", reply, sizeof reply), kHttpFail);
  EXPECT_EQ(log.shown, (Strings{"URL is wrong.", "The ranking server's address is not valid."}));
  http.BeginBody(100);
  log.shown.clear();
  EXPECT_EQ(http.Post("Http://127.0.0.1/", reply, sizeof reply), kHttpFail);
  EXPECT_EQ(log.shown, (Strings{"URL is wrong.", "The ranking server's address is not valid."}));
  EXPECT_EQ(server.connections(), 0);
}

TEST(HttpUrl, EncodesAllButLettersDigitsAndThreeMarks) {
  Http http;
  std::string out;
  http.UrlEncode(out, "Az09.-_ ~/%\xE3\x81\x82");
  EXPECT_EQ(out, "Az09.-_+%7E%2F%25%E3%81%82");
  http.UrlEncode(out, "");
  EXPECT_EQ(out, "");
}

TEST(HttpGet, SendsPathAndPortWithoutLookupForDottedAddress) {
  LoopbackServer server(Mode::Reply, kOkReply);
  ASSERT_TRUE(server.listening());
  MessageLog log;
  Http http;
  int lookups = 0;
  http.lookup = [&lookups](const std::string&, std::vector<std::string>&) {
    ++lookups;
    return false;
  };
  char reply[64];
  EXPECT_EQ(http.Get(server.Url(""), reply, sizeof reply), kHttpOk);
  EXPECT_EQ(server.Request(),
            "GET / HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n\r\n");
  EXPECT_STREQ(reply, kOkReply);
  EXPECT_TRUE(http.lastExchangeComplete());
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(http.lookupCount(), 0);
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpGet, LooksNamesUpAndTriesEachAddressInTurn) {
  // Nothing listens on the IPv6 loopback at this port; the IPv4 one answers.
  LoopbackServer server(Mode::Reply, kOkReply);
  MessageLog log;
  Http http;
  std::string asked;
  http.lookup = [&asked](const std::string& host, std::vector<std::string>& out) {
    asked = host;
    out = {"::1", "127.0.0.1"};
    return true;
  };
  char reply[64];
  std::string port = std::to_string(server.port());
  EXPECT_EQ(http.Get("http://ranking.test:" + port + "/q?a=1", reply, sizeof reply), kHttpOk);
  EXPECT_EQ(asked, "ranking.test");
  EXPECT_EQ(http.lookupCount(), 1);
  EXPECT_EQ(server.Request(), "GET /q?a=1 HTTP/1.0\r\nHost: ranking.test:" + port + "\r\n\r\n");
  EXPECT_STREQ(reply, kOkReply);
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpGet, ReachesAnIpv6OnlyServerThroughTheSystemLookup) {
  LoopbackServer server(Mode::Reply, kOkReply, AF_INET6);
  if (!server.listening()) GTEST_SKIP() << "no IPv6 loopback here";
  std::vector<std::string> addresses;
  ASSERT_TRUE(SystemHostLookup("::1", addresses));
  ASSERT_EQ(addresses, Strings{"::1"});
  MessageLog log;
  Http http;
  http.lookup = [](const std::string&, std::vector<std::string>& out) {
    out = {"127.0.0.1", "::1"};
    return true;
  };
  char reply[64];
  EXPECT_EQ(http.Get("http://v6.test:" + std::to_string(server.port()) + "/", reply, sizeof reply),
            kHttpOk);
  EXPECT_STREQ(reply, kOkReply);
  EXPECT_TRUE(http.lastExchangeComplete());
}

TEST(HttpGet, SystemLookupFindsLocalhost) {
  std::vector<std::string> addresses;
  ASSERT_TRUE(SystemHostLookup("localhost", addresses));
  EXPECT_FALSE(addresses.empty());
}

TEST(HttpPost, EmptyFormSendsOnlyTheClosingLine) {
  LoopbackServer server(Mode::Reply, kOkReply);
  MessageLog log;
  Http http;
  http.BeginBody(64);
  char reply[64];
  EXPECT_EQ(http.Post(server.Url("/cgi"), reply, sizeof reply), kHttpOk);
  EXPECT_EQ(server.Request(), PostHeader("/cgi", 20, "127.0.0.1") + "--0123456789ABCD--\r\n");
  EXPECT_STREQ(reply, kOkReply);
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpPost, PartsAreLaidOutByteForByte) {
  LoopbackServer server(Mode::Reply, kOkReply);
  Http http;
  const char binary[] = {'\0', '\r', '\n', '-', '-', 'x'};
  http.BeginBody(1000);
  http.AddFormField("a", "v", 1, false);
  http.AddFormField("bin", binary, sizeof binary, true);
  http.AddFormField("empty", "", 0, false);
  std::string body = std::string("--0123456789ABCD\r\n") +
                     "Content-Disposition: form-data; name=\"a\"\r\n" +
                     "Content-Type: text/plain\r\n\r\n" + "v\r\n" + "--0123456789ABCD\r\n" +
                     "Content-Disposition: form-data; name=\"bin\"\r\n" +
                     "Content-Type: octet/stream\r\n\r\n" + std::string(binary, sizeof binary) +
                     "\r\n" + "--0123456789ABCD\r\n" +
                     "Content-Disposition: form-data; name=\"empty\"\r\n" +
                     "Content-Type: text/plain\r\n\r\n" + "\r\n";
  EXPECT_EQ(http.bodySize(), body.size());
  EXPECT_EQ(FormPartSize(1, 1, false) + FormPartSize(3, 6, true) + FormPartSize(5, 0, false),
            body.size());
  body += "--0123456789ABCD--\r\n";
  char reply[64];
  http.Post(server.Url("/x"), reply, sizeof reply);
  EXPECT_EQ(server.Request(), PostHeader("/x", body.size(), "127.0.0.1") + body);
}

TEST(HttpLimits, PartThatWouldNotFitIsRefusedAndNothingIsSent) {
  LoopbackServer server(Mode::Reply, kOkReply);
  MessageLog log;
  Http http;
  size_t fits = FormPartSize(1, 10, false) + kFormClosingLength;
  http.BeginBody(fits);
  http.AddFormField("a", "0123456789", 10, false);
  EXPECT_FALSE(http.bodyRefused());
  http.AddFormField("b", "", 0, false);  // even an empty part needs room
  EXPECT_TRUE(http.bodyRefused());
  EXPECT_EQ(http.bodySize(), FormPartSize(1, 10, false));
  char reply[64] = "untouched";
  EXPECT_EQ(http.Post(server.Url("/"), reply, sizeof reply), kHttpFail);
  EXPECT_EQ(log.shown, Strings{"Error: the data to send does not fit in the buffer."});
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(server.connections(), 0);

  // Exactly full with the closing line goes out.
  LoopbackServer second(Mode::Reply, kOkReply);
  http.BeginBody(fits);
  http.AddFormField("a", "0123456789", 10, false);
  EXPECT_EQ(http.Post(second.Url("/"), reply, sizeof reply), kHttpOk);
  EXPECT_TRUE(http.lastExchangeComplete());
  EXPECT_EQ(http.bodySize(), fits);

  // No room left for the closing line: refused; so is a Post with no body at all.
  log.shown.clear();
  http.BeginBody(fits - 1);
  http.AddFormField("a", "0123456789", 10, false);
  EXPECT_EQ(http.Post(second.Url("/"), reply, sizeof reply), kHttpFail);
  http.ReleaseBody();
  EXPECT_EQ(http.Post(second.Url("/"), reply, sizeof reply), kHttpFail);
  EXPECT_EQ(log.shown.size(), 2u);
}

TEST(HttpLimits, PostUrlTooLongForTheHeaderRoomIsRefused) {
  LoopbackServer server(Mode::Reply, kOkReply);
  MessageLog log;
  Http http;
  http.BeginBody(64);
  char reply[64];
  EXPECT_EQ(http.Post(server.Url("/" + std::string(400, 'p')), reply, sizeof reply), kHttpFail);
  EXPECT_EQ(log.shown, (Strings{"URL is wrong.", "The ranking server's address is not valid."}));
  EXPECT_EQ(server.connections(), 0);
  EXPECT_EQ(http.bodySize(), 0u);  // not even the closing line was added
  // A GET has no such room to fill.
  log.shown.clear();
  EXPECT_EQ(http.Get(server.Url("/" + std::string(400, 'p')), reply, sizeof reply), kHttpOk);
  EXPECT_TRUE(http.lastExchangeComplete());
  EXPECT_TRUE(log.shown.empty());
}

TEST(HttpLimits, LongReplyIsCutAtTheBufferEnd) {
  std::string longReply = "HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'r');
  {
    LoopbackServer server(Mode::Reply, longReply);
    Http http;
    std::vector<char> memory(48, 'Z');
    http.Get(server.Url("/"), memory.data(), 16);
    EXPECT_EQ(std::string(memory.data()), longReply.substr(0, 15));
    EXPECT_EQ(std::string(memory.begin() + 16, memory.end()), std::string(32, 'Z'));
    EXPECT_TRUE(http.lastReplyCut());
    EXPECT_FALSE(http.lastExchangeComplete());
  }
  {
    // A reply that fills the buffer exactly is whole.
    LoopbackServer server(Mode::Reply, longReply);
    Http http;
    std::vector<char> memory(longReply.size() + 1, 'Z');
    http.Get(server.Url("/"), memory.data(), memory.size());
    EXPECT_EQ(std::string(memory.data()), longReply);
    EXPECT_FALSE(http.lastReplyCut());
    EXPECT_TRUE(http.lastExchangeComplete());
  }
}

TEST(HttpTransport, NoServerListening) {
  MessageLog log;
  Http http;
  char reply[64];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Get("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/", reply, sizeof reply),
            kHttpOk);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(log.shown, (Strings{"Error: could not connect to the ranking server.", "Could not reach the ranking server."}));
  EXPECT_FALSE(http.lastExchangeComplete());
  EXPECT_STREQ(reply, "");
}

TEST(HttpTransport, FailedLookup) {
  MessageLog log;
  Http http;
  http.lookup = [](const std::string&, std::vector<std::string>&) { return false; };
  char reply[64];
  http.Get("http://nowhere.test/", reply, sizeof reply);
  EXPECT_EQ(log.shown, (Strings{"Error: the ranking server's address could not be found.", "Could not reach the ranking server."}));
  EXPECT_FALSE(http.lastExchangeComplete());
}

TEST(HttpTransport, ALookupThatHangsFailsAfterItsBound) {
  MessageLog log;
  Http http;
  http.lookupTimeoutSeconds = 0.3;
  http.lookup = [](const std::string&, std::vector<std::string>& out) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    out = {"127.0.0.1"};
    return true;
  };
  char reply[64];
  const auto start = std::chrono::steady_clock::now();
  http.Get("http://hanging.test/", reply, sizeof reply);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(log.shown, (Strings{"Error: the ranking server's address could not be found.",
                         "Could not reach the ranking server."}));
  EXPECT_FALSE(http.lastExchangeComplete());
}

TEST(HttpTransport, StallInTheMiddleOfTheReplyEndsAfterTheProgressBound) {
  LoopbackServer server(Mode::Stall, "HTTP/1.0 200 OK\r\n\r\n-");
  MessageLog log;
  Http http;
  http.progressTimeoutSeconds = 0.3;
  char reply[64];
  auto start = std::chrono::steady_clock::now();
  http.Get(server.Url("/"), reply, sizeof reply);
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_STREQ(reply, "HTTP/1.0 200 OK\r\n\r\n-");  // what arrived stays
  EXPECT_EQ(log.shown, Strings{"The ranking server did not answer in time."});
  EXPECT_FALSE(http.lastExchangeComplete());
}

TEST(HttpTransport, SlowTransfersEndAtTheirBounds) {
  {
    // A reply that never ends, however steadily it comes.
    LoopbackServer server(Mode::Trickle, "HTTP/1.0 200 OK\r\n");
    MessageLog log;
    Http http;
    http.transferTimeoutSeconds = 0.5;
    char reply[4096];
    auto start = std::chrono::steady_clock::now();
    http.Get(server.Url("/"), reply, sizeof reply);
    double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.45);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(log.shown, Strings{"The ranking server did not answer in time."});
    EXPECT_FALSE(http.lastExchangeComplete());
  }
  {
    // A server that takes no part of a large request.
    LoopbackServer server(Mode::Deaf);
    MessageLog log;
    Http http;
    http.progressTimeoutSeconds = 0.3;
    http.BeginBody(8 << 20);
    std::vector<char> data((8 << 20) - 200, 'd');
    http.AddFormField("data", data.data(), data.size(), true);
    char reply[64];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(http.Post(server.Url("/"), reply, sizeof reply), kHttpOk);
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_EQ(log.shown, (Strings{"The ranking server did not answer in time.", "The data could not be sent."}));
    EXPECT_FALSE(http.lastExchangeComplete());
  }
}

TEST(HttpTransport, ResetInTheMiddleOfTheReply) {
  LoopbackServer server(Mode::Reset, "HTTP/1.0 200 OK\r\n");
  MessageLog log;
  Http http;
  char reply[64];
  http.Get(server.Url("/"), reply, sizeof reply);
  EXPECT_EQ(log.shown, Strings{"Network error while receiving the ranking server's answer."});
  EXPECT_FALSE(http.lastExchangeComplete());
}

TEST(HttpTransport, ConnectionAttemptIsBounded) {
  // A listener whose queue is full drops further connection attempts unanswered.
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
    fillers.push_back(fd);
  }
  MessageLog log;
  Http http;
  http.connectTimeoutSeconds = 0.5;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Connect("127.0.0.1", ntohs(address.sin_port)), kHttpFail);
  double seconds = SecondsSince(start);
  EXPECT_GE(seconds, 0.45);
  EXPECT_LT(seconds, 2.0);
  EXPECT_EQ(log.shown, Strings{"Error: could not connect to the ranking server."});
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST(HttpTransport, WritingToAClosedPeerFailsWithoutSignal) {
  // The server is gone before the request goes out; the kernel refuses the
  // rest of a large write with EPIPE, which must not kill the program.
  LoopbackServer server(Mode::CloseAtOnce);
  MessageLog log;
  Http http;
  ASSERT_EQ(http.Connect("127.0.0.1", server.port()), kHttpOk);
  server.Request();  // waits for the close
  std::vector<char> request(16 << 20, 'q');
  EXPECT_EQ(http.Send(request.data(), request.size(), kExchangeTimeout), kHttpFail);
  ASSERT_EQ(log.shown.size(), 2u);
  // The error number: EPIPE, or ECONNRESET when the reset came first.
  EXPECT_TRUE(log.shown[0] == "32" || log.shown[0] == "104") << log.shown[0];
  EXPECT_EQ(log.shown[1], "Error: could not send to the ranking server.");
}

TEST(HttpTransport, OperationsWithoutAConnectionFailAtOnce) {
  MessageLog log;
  Http http;
  char reply[8];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Send("x", 1, 3.0), kHttpFail);
  EXPECT_EQ(http.Receive(reply, sizeof reply, 3.0), kHttpFail);
  EXPECT_LT(SecondsSince(start), 0.5);
  EXPECT_EQ(http.Close(), kHttpOk);
  EXPECT_EQ(log.shown, (Strings{"Sending failed:\nnetwork error.", "Sending failed:\nnetwork error."}));
}

}  // namespace
}  // namespace quadrel::test
