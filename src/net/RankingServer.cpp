#include "net/RankingServer.hpp"

#include <arpa/inet.h>

#include <algorithm>

#include "base/RankingProtocol.hpp"

#ifndef QUADREL_RANKING_HOST
#define QUADREL_RANKING_HOST "localhost"
#endif

namespace quadrel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameCharacter(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

// Dot-separated labels of letters, digits, '-' and '_', none empty, none
// longer than 63 characters, none starting or ending with '-'. One made of
// digits and dots only must be a whole dotted IPv4 address.
bool IsHostName(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  size_t start = 0;
  while (start <= host.size()) {
    size_t end = std::min(host.find('.', start), host.size());
    const size_t length = end - start;
    if (length == 0 || length > 63 || host[start] == '-' || host[end - 1] == '-') return false;
    for (size_t i = start; i < end; ++i)
      if (!IsNameCharacter(host[i])) return false;
    start = end + 1;
  }
  if (std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; })) {
    in_addr v4{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1;
  }
  return true;
}

// Up to five digits, 1 to 65535; no sign, no blanks.
bool IsPort(const std::string& text) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), IsDigit))
    return false;
  const long port = std::stol(text);
  return port >= 1 && port <= 65535;
}

// The value as it may appear in one line of text: no control characters, not
// longer than a line should be.
std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text.substr(0, 80)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  return text.size() > 80 ? out + "..." : out;
}

}  // namespace

std::string RankingServerProblem(const std::string& text) {
  if (text.empty()) return "empty";
  if (text.size() > kRankingServerMax) return "too long";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return "a control character in it";
    if (c == ' ') return "a blank in it";
  }
  std::string host = text, port;
  if (text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return "no closing bracket";
    if (close + 1 < text.size() && text[close + 1] != ':') return "text after the bracket";
    host = text.substr(1, close - 1);
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) != 1) return "not an IPv6 address in brackets";
    if (close + 1 < text.size()) {
      port = text.substr(close + 2);
      if (!IsPort(port)) return "bad port";
    }
    return {};
  }
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (!IsPort(port)) return "bad port";
  }
  if (!IsHostName(host)) return "not a host name";
  return {};
}

std::string BuiltInRankingServer() { return QUADREL_RANKING_HOST; }

RankingServerChoice ChooseRankingServer(const char* environment,
                                        const std::optional<std::string>& fromSettings) {
  std::string value, source;
  if (environment) {
    value = environment;
    source = kRankingServerVariable;
  } else if (fromSettings) {
    value = *fromSettings;
    source = "ranking_server in settings.ini";
  } else {
    return {BuiltInRankingServer(), {}};
  }
  const std::string problem = RankingServerProblem(value);
  if (problem.empty()) return {value, {}};
  return {BuiltInRankingServer(), "quadrel: warning: " + source + " \"" + Printable(value) +
                                      "\" is refused (" + problem + "); registering with " +
                                      BuiltInRankingServer() + " instead"};
}

std::string RankingUrl(const std::string& server) {
  return "http://" + server + protocol::kRankingPath;
}

}  // namespace quadrel
