#include "RankingServer.hpp"

#include <httplib.h>

#include <cstdio>
#include <ctime>
#include <mutex>

#include "Multipart.hpp"
#include "Pages.hpp"

namespace quadrel::server {

int HalfCloseAware();

namespace {

// The form's content type travels under this name past the HTTP library, so
// that the body reaches our own reader whole rather than the library's.
constexpr const char* kFormTypeHeader = "X-Quadrel-Form-Type";

// Why the request on this thread was refused, for its log line.
thread_local std::string tlsReason;

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The game reads the last two characters of the reply, so every answer to the
// registration path ends with a token, errors of the HTTP layer included.
void SetVerdictBody(httplib::Response& res, Verdict verdict, const std::string& text) {
  std::string body = text.empty() ? "" : text + "\n";
  body += VerdictToken(verdict);
  res.set_content(body, "text/plain; charset=us-ascii");
}

const char* StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

bool ParseLength(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

RankingServer::RankingServer(RankingStorage& storage, ServerOptions options)
    : storage_(storage),
      options_(std::move(options)),
      verifiers_(std::max(1, std::min(options_.verifiers, 1024))),
      http_(std::make_unique<httplib::Server>()) {
  if (options_.threads < 1) options_.threads = 1;
  HalfCloseAware();
  Routes();
}

RankingServer::~RankingServer() { Stop(); }

void RankingServer::Log(const std::string& text) {
  // Paths, versions and part names come from the client: one line stays one
  // line, and nothing unprintable reaches the log.
  std::string line = text;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  if (options_.log) {
    options_.log(line);
    return;
  }
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::fprintf(stderr, "%s\n", line.c_str());
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
  answer.body = "OK";
  answer.reason = result.reason;
  return answer;
}

void RankingServer::Routes() {
  httplib::Server& http = *http_;
  const int threads = options_.threads;
  http.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  http.set_payload_max_length(options_.maxBody);
  http.set_read_timeout(options_.readTimeoutSeconds, 0);
  http.set_write_timeout(options_.writeTimeoutSeconds, 0);
  http.set_keep_alive_timeout(options_.idleSeconds);
  http.set_keep_alive_max_count(20);

  http.set_pre_routing_handler([this](const httplib::Request& creq, httplib::Response& res) {
    tlsReason.clear();
    if (creq.path != kRegisterPath) return httplib::Server::HandlerResponse::Unhandled;
    // The request object is the server's own and not const: only its view is.
    auto& req = const_cast<httplib::Request&>(creq);
    req.headers.erase(kFormTypeHeader);
    if (req.method != "POST") return httplib::Server::HandlerResponse::Unhandled;
    // Refused before the body is read: a missing, malformed or too large length.
    uint64_t length = 0;
    const bool chunked = req.get_header_value("Transfer-Encoding") != "";
    if (chunked || !ParseLength(req.get_header_value("Content-Length"), length)) {
      res.status = chunked ? 501 : 411;
      tlsReason = "no usable Content-Length";
      SetVerdictBody(res, Verdict::Failed, "");
      res.set_header("Connection", "close");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (length > options_.maxBody) {
      res.status = 413;
      tlsReason = "body of " + std::to_string(length) + " bytes";
      SetVerdictBody(res, Verdict::Failed, "");
      res.set_header("Connection", "close");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string type = req.get_header_value("Content-Type");
    req.headers.erase("Content-Type");
    req.headers.emplace(kFormTypeHeader, type);
    return httplib::Server::HandlerResponse::Unhandled;
  });

  http.Post(kRegisterPath, [this](const httplib::Request& req, httplib::Response& res) {
    const Answer answer = Register(req.get_header_value(kFormTypeHeader), req.body);
    res.status = answer.status;
    tlsReason = answer.reason;
    res.set_content(answer.body, "text/plain; charset=us-ascii");
  });

  http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    try {
      res.set_content(LeaderboardPage(storage_.Top(options_.top), options_.top),
                      "text/html; charset=utf-8");
      res.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
    } catch (const StorageError& e) {
      tlsReason = e.what();
      res.status = 500;
    }
  });

  http.Get("/api/top", [this](const httplib::Request& req, httplib::Response& res) {
    int32_t n = options_.top;
    if (req.has_param("n") && (!IsDecimalInt32(req.get_param_value("n"), n) || n < 1)) {
      res.status = 400;
      tlsReason = "n is not a positive number";
      res.set_content("{\"error\":\"n must be a positive whole number\"}\n", "application/json");
      return;
    }
    try {
      res.set_content(TopJson(storage_.Top(std::min(n, options_.top))), "application/json");
    } catch (const StorageError& e) {
      tlsReason = e.what();
      res.status = 500;
    }
  });

  http.Get(R"(/replays/([0-9]{1,18})\.rep)",
           [this](const httplib::Request& req, httplib::Response& res) {
    try {
      const auto replay = storage_.Replay(std::stoll(req.matches[1].str()));
      if (!replay) {
        res.status = 404;
        return;
      }
      res.set_content(replay->bytes, "application/octet-stream");
      res.set_header("Content-Disposition",
                     "attachment; filename=\"" + SafeFileName(replay->fileName) + "\"");
    } catch (const StorageError& e) {
      tlsReason = e.what();
      res.status = 500;
    }
  });

  http.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request& req, httplib::Response& res) {
    if (req.path == kRegisterPath) {
      if (res.body.empty() || res.body.size() < 2 ||
          res.body.compare(res.body.size() - 2, 2, "-1") != 0)
        SetVerdictBody(res, Verdict::Failed, StatusText(res.status));
    } else if (res.body.empty()) {
      res.set_content(std::to_string(res.status) + " " +
                          StatusText(res.status) + "\n",
                      "text/plain");
    }
    return httplib::Server::HandlerResponse::Handled;
  }));

  http.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    const bool registration = req.path == kRegisterPath && req.method == "POST";
    if (res.status < 400 && !registration) return;
    std::string line = Now() + " " + req.remote_addr + " " + req.method + " " +
                       req.path.substr(0, 80) + " " + std::to_string(res.status);
    if (registration) {
      const std::string& b = res.body;
      line += " " + (b.size() >= 2 ? b.substr(b.size() - 2) : b);
    }
    if (!tlsReason.empty()) line += " " + tlsReason;
    Log(line);
    tlsReason.clear();
  });
}

int RankingServer::Bind(const std::string& host, int port) {
  if (port == 0) return http_->bind_to_any_port(host);
  return http_->bind_to_port(host, port) ? port : -1;
}

bool RankingServer::Run() { return http_->listen_after_bind(); }

void RankingServer::Stop() {
  if (http_) http_->stop();
}

}  // namespace quadrel::server
