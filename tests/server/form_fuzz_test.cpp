// Damaged requests, made at random from the game's own: the form reader and
// the HTTP layer must always answer with a verdict or an HTTP error, never
// crash (this runs under ASan and UBSan in CI) and never accept.
#include <gtest/gtest.h>

#include <random>

#include "GameClient.hpp"
#include "Multipart.hpp"
#include "Registration.hpp"
#include "ServerFixture.hpp"

namespace quadrel::test {
namespace {

constexpr const char* kGameType = protocol::kFormContentType;

std::string GoodBody() {
  const std::vector<std::string> golden = GoldenReplays();
  const std::string replay = ReadBinaryFile(golden.at(0));
  return GameBody(FieldsFor(replay, "FUZZ      ", "x.rep"));
}

// One random damage of the kinds a broken client or a hostile one makes.
std::string Damage(std::string body, std::mt19937& random) {
  auto pick = [&](size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const size_t at = pick(body.size());
  switch (pick(9)) {
    case 0: body[at] = static_cast<char>(random()); break;               // a byte changed
    case 1: body.erase(at, pick(64) + 1); break;                          // bytes lost
    case 2: body.resize(at); break;                                       // truncated
    case 3: {                                                             // a CR LF lost
      const size_t crlf = body.find("\r\n", at);
      if (crlf != std::string::npos) body.erase(crlf, pick(2) + 1);
      break;
    }
    case 4: {                                                             // a boundary damaged
      const size_t b = body.find("0123456789ABCD", at);
      if (b != std::string::npos) body[b + pick(14)] = 'X';
      break;
    }
    case 5: body.insert(at, "\r\n--0123456789ABCD\r\n"); break;           // a stray boundary
    case 6: body.insert(at, std::string(pick(300), '\0')); break;        // zero bytes
    case 7: {                                                             // a header line lost
      const size_t h = body.find("Content-", at);
      if (h != std::string::npos) body.erase(h, body.find("\r\n", h) - h + 2);
      break;
    }
    case 8: body.insert(at, body.substr(at, pick(200))); break;          // a run repeated
  }
  return body;
}

std::string TinyParts(size_t count) {
  std::string body;
  for (size_t i = 0; i < count; ++i)
    body += "--0123456789ABCD\r\nContent-Disposition: form-data; name=\"p\"\r\n\r\nx\r\n";
  return body + "--0123456789ABCD--\r\n";
}

TEST(FormFuzz, DamagedBodiesGetAVerdictInProcess) {
  LiveServer live("sqlite", server::ServerOptions{});
  ASSERT_TRUE(live.ready());
  const std::string good = GoodBody();
  std::mt19937 random(20050511);
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string body = good;
    const int damages = 1 + static_cast<int>(random() % 4);
    for (int d = 0; d < damages; ++d) body = Damage(std::move(body), random);
    const server::Answer answer = live.server().Register(kGameType, body);
    const std::string token = server::VerdictToken(answer.verdict);
    ASSERT_EQ(answer.body.substr(answer.body.size() - 2), token);
    // A damage may leave a valid form: a changed letter of the name, or a
    // changed mouse movement that still re-plays to every recorded score (a
    // new game). Then it must hold up as a registration of its own.
    if (answer.verdict == server::Verdict::Accepted) {
      ++accepted;
      const server::FormParse form = server::ParseFormBody(body, protocol::kFormBoundary);
      ASSERT_TRUE(form.ok);
      const server::FormCheck fields = server::ReadRegistration(form.parts);
      ASSERT_EQ(fields.verdict, server::Verdict::Accepted);
      EXPECT_TRUE(server::VerifyReplay(fields.registration, {}).ok);
    }
  }
  EXPECT_LT(accepted, 100);
  // Content types that name no usable boundary.
  for (const char* type : {"", "text/plain", "multipart/form-data", "multipart/form-data; boundary=",
                           "multipart/form-data; boundary=\"\"",
                           "multipart/form-data; boundary=\"0123456789ABCD"}) {
    EXPECT_EQ(live.server().Register(type, good).verdict, server::Verdict::Failed) << type;
  }
}

TEST(FormFuzz, TenThousandTinyPartsAreRefusedEarly) {
  const std::string body = TinyParts(10000);
  const server::FormParse parse = server::ParseFormBody(body, protocol::kFormBoundary);
  EXPECT_FALSE(parse.ok);
  EXPECT_EQ(parse.parts.size(), server::kMaxFormParts);
  LiveServer live("sqlite", server::ServerOptions{});
  ASSERT_TRUE(live.ready());
  const std::string reply = Exchange(live.port(), GameRequest(body));
  EXPECT_EQ(StatusOf(reply), 200) << reply.substr(0, 200);
  EXPECT_EQ(VerdictOf(reply), -1);
}

TEST(FormFuzz, DamagedRequestsOverTheWireGetAnAnswer) {
  LiveServer live("sqlite", server::ServerOptions{});
  ASSERT_TRUE(live.ready());
  const std::string good = GoodBody();
  std::mt19937 random(4242);
  int accepted = 0;
  for (int i = 0; i < 150; ++i) {
    const std::string body = Damage(Damage(good, random), random);
    std::string request = GameRequest(body);
    // Now and then a length that does not match what follows.
    if (i % 5 == 0) {
      const size_t at = request.find("Content-Length: ") + 16;
      const size_t end = request.find("\r\n", at);
      const long wrong = static_cast<long>(body.size()) + static_cast<long>(random() % 200) - 100;
      request.replace(at, end - at, std::to_string(wrong));
    }
    const std::string reply = Exchange(live.port(), request);
    ASSERT_NE(StatusOf(reply), 0) << "no HTTP answer to damaged request " << i;
    if (VerdictOf(reply) == 0) {
      EXPECT_EQ(BodyOf(reply), "OK") << i << ": " << reply.substr(0, 300);
      ++accepted;  // a damage that left a valid form
    }
  }
  EXPECT_LT(accepted, 20);
  // Damaged request heads: an HTTP error, or the connection closed when the
  // head never ended.
  for (std::string head : {"POST /quadrel/ranking/ranking.cgi HTTP/1.0\n\n",
                           "POST\r\n\r\n", "\r\n\r\n", "POST /quadrel/ranking/ranking.cgi\r\n\r\n",
                           "POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\nContent-Length: 5"}) {
    const std::string reply = Exchange(live.port(), head, true, 5000);
    if (!reply.empty()) {
      EXPECT_GE(StatusOf(reply), 400) << head << ": " << reply;
    }
  }
  // The server still serves.
  EXPECT_EQ(StatusOf(HttpGet(live.port(), "/")), 200);
}

}  // namespace
}  // namespace quadrel::test
