#include "RankingServer.hpp"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "Multipart.hpp"
#include "Pages.hpp"
#include "WebFiles.hpp"

namespace quadrel::server {

namespace {

HttpResponse Text(int status, std::string body, std::string reason = "") {
  HttpResponse r;
  r.status = status;
  r.body = std::move(body);
  r.logReason = std::move(reason);
  return r;
}

HttpResponse Plain(int status, std::string reason = "") {
  return Text(status, std::to_string(status) + " " + StatusText(status) + "\n", std::move(reason));
}

// The value of the first name=value pair of that name in a query, and
// whether there was one.
bool QueryValue(std::string_view query, std::string_view name, std::string& value) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=') {
      value = pair.substr(name.size() + 1);
      return true;
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return false;
}

// "/replays/ID.rep" with one to eighteen digits.
bool ReplayId(std::string_view path, int64_t& id) {
  constexpr std::string_view prefix = "/replays/", suffix = ".rep";
  if (path.size() <= prefix.size() + suffix.size() || path.substr(0, prefix.size()) != prefix ||
      path.substr(path.size() - suffix.size()) != suffix)
    return false;
  const std::string_view digits =
      path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
  if (digits.size() > 18) return false;
  id = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    id = id * 10 + (c - '0');
  }
  return true;
}

// A page from the web folder, its scripts under a fresh nonce.
HttpResponse WebPage(const WebFile& file) {
  const std::string nonce = NewScriptNonce();
  HttpResponse r = Text(200, StampScripts(file.body, nonce));
  r.contentType = file.contentType;
  r.headers.emplace_back("Content-Security-Policy", WebPagePolicy(nonce));
  r.headers.emplace_back("Cache-Control", "no-store");
  return r;
}

HttpResponse Missing(std::string_view what) {
  return Plain(404, "the web folder has no " + std::string(what));
}

}  // namespace

RankingServer::RankingServer(RankingStorage& storage, ServerOptions options)
    : storage_(storage),
      options_(std::move(options)),
      verifiers_(std::max(1, std::min(options_.verifiers, 1024))) {
  if (options_.threads < 1) options_.threads = 1;
  HttpRoutes routes;
  routes.streamedPath = kRegisterPath;
  routes.refusalToken = VerdictToken(Verdict::Failed);
  routes.handle = [this](const HttpRequest& request) { return Handle(request); };
  routes.log = [this](const std::string& cause, const std::string& line) { Log(cause, line); };
  routes.refused = [this](const char* cause) { metrics_.Refused(cause); };
  front_ = std::make_unique<HttpFront>(options_.http, options_.trustedProxies, options_.threads,
                                       std::move(routes));
}

RankingServer::~RankingServer() { Stop(); }

void RankingServer::Log(const std::string& cause, const std::string& text) {
  // Paths, versions and part names come from the client: one line stays one
  // line, and nothing unprintable reaches the log.
  std::string line = text;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  line = logLimiter_.Admit(cause, line);
  if (line.empty()) return;
  size_t start = 0;
  while (start < line.size()) {  // the suppressed count comes as a line of its own
    const size_t nl = line.find('\n', start);
    const std::string one = line.substr(start, nl - start);
    if (options_.log) {
      options_.log(one);
    } else {
      static std::mutex mutex;
      std::lock_guard lock(mutex);
      std::fprintf(stderr, "%s\n", one.c_str());
    }
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
}

Answer RankingServer::Register(std::string_view contentType, std::string_view body) {
  Answer answer;
  auto refuse = [&](Verdict verdict, std::string reason) {
    answer.verdict = verdict;
    answer.reason = std::move(reason);
    answer.body = VerdictToken(verdict);
    return answer;
  };
  const std::string boundary = FormBoundary(contentType);
  if (boundary.empty()) return refuse(Verdict::Failed, "not a multipart form with a boundary");
  const FormParse form = ParseFormBody(body, boundary);
  if (!form.ok) return refuse(Verdict::Failed, "form: " + form.error);
  FormCheck fields = ReadRegistration(form.parts);
  if (fields.verdict != Verdict::Accepted) return refuse(fields.verdict, fields.reason);
  const RegistrationResult result = RegisterGame(
      storage_, fields.registration, options_.limits, options_.top,
      [this](const std::function<void()>& work) {
        if (!verifiers_.try_acquire_for(options_.verifierWait)) return false;
        struct Release {
          std::counting_semaphore<1024>& s;
          ~Release() { s.release(); }
        } release{verifiers_};
        if (options_.onVerify) options_.onVerify();
        work();
        return true;
      });
  answer.status = result.status;
  if (result.verdict != Verdict::Accepted) return refuse(result.verdict, result.reason);
  answer.verdict = Verdict::Accepted;
  answer.body = VerdictToken(Verdict::Accepted);
  answer.reason = result.reason;
  return answer;
}

HttpResponse RankingServer::Handle(const HttpRequest& request) {
  if (request.method != "POST") return Get(request);
  const auto start = std::chrono::steady_clock::now();
  const Answer answer = Register(request.Header("content-type"), request.body);
  metrics_.Verdict(answer.verdict,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  // The head went out as 200 as soon as the body was in (the game waits 3 s
  // for a first byte). The verdict follows within the wait for a worker
  // (2 s at most) and for a verifier (verifierWait, 2 s) plus one
  // re-simulation: inside the game's 10 s without progress, so nothing is
  // stored while the game shows "ERROR". Past either wait: -1, nothing stored.
  return Text(200, answer.body, answer.reason);
}

HttpResponse RankingServer::Get(const HttpRequest& request) {
  const std::string& path = request.path;
  if (path == kRegisterPath) {  // the game's path: its answers end with a verdict
    HttpResponse r = Text(405, "405 Method Not Allowed\n" + std::string(VerdictToken(Verdict::Failed)));
    r.headers.emplace_back("Allow", "POST");
    return r;
  }
  int64_t id = 0;
  try {
    if (path == "/") {
      HttpResponse r = Text(200, LeaderboardPage(storage_.Top(options_.top), options_.top));
      r.contentType = "text/html; charset=utf-8";
      r.headers.emplace_back("Content-Security-Policy",
                             "default-src 'none'; style-src 'unsafe-inline'");
      return r;
    }
    if (path == "/api/top") {
      int32_t n = options_.top;
      std::string text;
      if (QueryValue(request.query, "n", text) && (!IsDecimalInt32(text, n) || n < 1)) {
        HttpResponse r = Text(400, "{\"error\":\"n must be a positive whole number\"}\n",
                              "n is not a positive number");
        r.contentType = "application/json";
        return r;
      }
      HttpResponse r = Text(200, TopJson(storage_.Top(std::min(n, options_.top))));
      r.contentType = "application/json";
      return r;
    }
    if (ReplayId(path, id)) {
      const auto replay = storage_.Replay(id);
      if (!replay) return Plain(404);
      HttpResponse r = Text(200, replay->bytes);
      r.contentType = "application/octet-stream";
      r.headers.emplace_back("Content-Disposition",
                             "attachment; filename=\"" + SafeFileName(replay->fileName) + "\"");
      return r;
    }
    // The viewer page reads the game's number from its own address and says
    // so itself when there is no such game.
    if (path.rfind("/watch/", 0) == 0 && path.size() <= 7 + 40) {
      const auto page = ReadWebFile(options_.webFolder, "watch.html");
      return page ? WebPage(*page) : Missing("watch.html");
    }
    if (path == "/check") {
      // The check page loads its module beside itself: it lives in /web/.
      std::string location = "/web/verify.html";
      const bool plain = std::all_of(request.query.begin(), request.query.end(),
                                     [](char c) { return c > 0x20 && c < 0x7f; });
      if (!request.query.empty() && plain) location += "?" + request.query;
      HttpResponse r = Text(302, "302 Found\n");
      r.headers.emplace_back("Location", location);
      return r;
    }
    if (path.rfind("/web/", 0) == 0) {
      const auto file = ReadWebFile(options_.webFolder, std::string_view(path).substr(5));
      if (!file) return Plain(404);
      if (file->contentType.rfind("text/html", 0) == 0) return WebPage(*file);
      HttpResponse r = Text(200, file->body);
      r.contentType = file->contentType;
      return r;
    }
    if (path == "/healthz") {
      try {
        storage_.Top(1);
        return Text(200, "ok\n");
      } catch (const std::exception& e) {
        return Text(503, "unhealthy\n", e.what());
      }
    }
    if (path == "/metrics") {
      HttpResponse r = Text(200, metrics_.Text(front_->stats().open,
                                                front_->stats().waitingStreamed));
      r.contentType = "text/plain; version=0.0.4; charset=utf-8";
      return r;
    }
  } catch (const std::exception& e) {
    // The database's words go to the log, never to the client.
    return Plain(500, e.what());
  }
  return Plain(404);
}

int RankingServer::Bind(const std::string& host, int port) { return front_->Bind(host, port); }

std::string RankingServer::BindError() const { return front_->error(); }

bool RankingServer::Run() { return front_->Run(); }

void RankingServer::Stop() {
  if (front_) front_->Stop();
}

}  // namespace quadrel::server
