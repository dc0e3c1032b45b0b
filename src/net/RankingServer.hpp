// Which internet ranking server the game registers with: the player's
// QUADREL_RANKING_SERVER, else the ranking_server line of settings.ini, else
// the host the program was built with. All three read "host[:port]", the host
// a name, a dotted IPv4 address or an IPv6 address in brackets.
#pragma once

#include <optional>
#include <string>

namespace quadrel {

constexpr char kRankingServerVariable[] = "QUADREL_RANKING_SERVER";
// A host name of the longest kind, a colon and five digits.
constexpr size_t kRankingServerMax = 253 + 6;

// Why text names no ranking server ("bad port", ...); empty when it does.
std::string RankingServerProblem(const std::string& text);

// The host the program was built with ("localhost" unless configured).
std::string BuiltInRankingServer();

struct RankingServerChoice {
  std::string server;
  // One line for standard error when the player's value was refused and the
  // built-in host is used instead; empty otherwise.
  std::string warning;
};

// environment: the variable's value, nullptr when it is not set; it wins over
// the file's value whenever it is set, even when it is refused.
RankingServerChoice ChooseRankingServer(const char* environment,
                                        const std::optional<std::string>& fromSettings);

// "http://SERVER/quadrel/ranking/ranking.cgi".
std::string RankingUrl(const std::string& server);

}  // namespace quadrel
