#include "HttpHead.hpp"

#include <algorithm>
#include <ctime>
#include <string_view>

namespace quadrel::server {

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
  }
}

std::string UtcNow() {
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string SerializeResponse(const HttpResponse& r, bool withBody) {
  std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + StatusText(r.status) + "\r\n";
  out += "Content-Type: " + r.contentType + "\r\n";
  out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  out += "X-Content-Type-Options: nosniff\r\nConnection: close\r\n";
  for (const auto& [name, value] : r.headers) out += name + ": " + value + "\r\n";
  out += "\r\n";
  if (withBody) out += r.body;
  return out;
}

HeadScan::Result HeadScan::Feed(const std::string& head, const HttpLimits& limits) {
  Result r;
  auto refuse = [&](int status, const char* cause, std::string reason) {
    r.status = status;
    r.cause = cause;
    r.reason = std::move(reason);
    return r;
  };
  auto tooLong = [&] {
    return lines == 0 ? refuse(414, "uri_too_long", "request line too long")
                      : refuse(431, "header_too_large", "header line too long");
  };
  for (;;) {
    const size_t nl = head.find('\n', pos);
    if (nl == std::string::npos) {
      // The line's CR may be in already: one byte of slack.
      if (head.size() - pos > limits.maxLine + 1) return tooLong();
      if (lines > 0 && head.size() - firstEnd > limits.maxHead)
        return refuse(431, "header_too_large", "headers too large");
      return r;
    }
    size_t length = nl - pos;
    if (length > 0 && head[nl - 1] == '\r') --length;
    if (length > limits.maxLine) return tooLong();
    if (length == 0) {
      if (lines == 0) return refuse(400, "bad_request", "no request line");
      end = nl + 1;
      r.complete = true;
      r.end = end;
      return r;
    }
    ++lines;
    if (lines == 1) firstEnd = nl + 1;
    if (lines - 1 > limits.maxHeaders) return refuse(431, "header_too_large", "too many headers");
    if (nl + 1 - firstEnd > limits.maxHead) return refuse(431, "header_too_large", "headers too large");
    pos = nl + 1;
  }
}

namespace {

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

bool ParseLength(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

HeadCheck ParseHead(const std::string& head, const HeadScan& scan, HttpRequest& request) {
  HeadCheck check;
  auto refuse = [&](int status, const char* cause, std::string reason) {
    check.status = status;
    check.cause = cause;
    check.reason = std::move(reason);
    return check;
  };
  const std::string_view all = std::string_view(head).substr(0, scan.end);
  size_t at = 0;
  auto nextLine = [&] {
    const size_t nl = all.find('\n', at);
    std::string_view line = all.substr(at, nl - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = nl + 1;
    return line;
  };
  const std::string_view first = nextLine();
  const size_t s1 = first.find(' ');
  const size_t s2 = s1 == std::string_view::npos ? s1 : first.find(' ', s1 + 1);
  if (s2 == std::string_view::npos || first.find(' ', s2 + 1) != std::string_view::npos)
    return refuse(400, "bad_request", "malformed request line");
  const std::string_view method = first.substr(0, s1);
  const std::string_view target = first.substr(s1 + 1, s2 - s1 - 1);
  const std::string_view version = first.substr(s2 + 1);
  if (!IsToken(method)) return refuse(400, "bad_request", "malformed method");
  if (version != "HTTP/1.0" && version != "HTTP/1.1")
    return version.substr(0, 5) == "HTTP/" ? refuse(505, "version", "HTTP version")
                                           : refuse(400, "bad_request", "not HTTP");
  if (target.empty() || target.front() != '/') return refuse(400, "bad_request", "target");
  for (char c : target)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
      return refuse(400, "bad_request", "target");
  request.method = method;
  request.target = target;
  const size_t question = target.find('?');
  request.path = target.substr(0, question);
  request.query = question == std::string_view::npos ? "" : target.substr(question + 1);

  int lengths = 0;
  std::string_view length;
  while (at < all.size()) {
    const std::string_view line = nextLine();
    if (line.empty()) break;
    if (line.front() == ' ' || line.front() == '\t')
      return refuse(400, "bad_request", "folded header line");
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)))
      return refuse(400, "bad_request", "malformed header line");
    std::string name(line.substr(0, colon));
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    for (char c : value)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
        return refuse(400, "bad_request", "control character in a header");
    if (name == "content-length") {
      ++lengths;
      length = value;
    }
    request.headers.emplace_back(std::move(name), std::string(value));
  }
  // Nothing here is ever decoded: a coded body is refused before it is read.
  if (std::any_of(request.headers.begin(), request.headers.end(),
                  [](const auto& h) { return h.first == "content-encoding"; }))
    return refuse(415, "content_encoding", "Content-Encoding");
  for (const auto& h : request.headers)
    if (h.first == "transfer-encoding") return refuse(411, "transfer_encoding", "Transfer-Encoding");
  if (method != "GET" && method != "HEAD" && method != "POST")
    return refuse(501, "method", "method not served");
  if (lengths > 1) return refuse(400, "bad_request", "Content-Length twice");
  if (lengths == 1) {
    check.hasLength = ParseLength(length, check.length);
    if (!check.hasLength)
      return method == "POST" ? refuse(411, "length_required", "no usable Content-Length")
                              : refuse(400, "bad_request", "malformed Content-Length");
  }
  return check;
}

}  // namespace quadrel::server
