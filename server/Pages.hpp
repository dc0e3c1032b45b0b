// The public face of the ranking: the leaderboard page and its JSON twin.
// Every stored text is escaped on the way out; nothing here runs script.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Storage.hpp"

namespace quadrel::server {

std::string HtmlEscape(std::string_view text);
// A file name safe inside a quoted Content-Disposition parameter.
std::string SafeFileName(std::string_view name);
// "ALL" for a cleared game, else the level number counted from 1.
std::string LevelText(int32_t level);

std::string LeaderboardPage(const std::vector<RankingRow>& rows, int top);
// The level as the page shows it, a string: "1".."5", or "ALL".
std::string TopJson(const std::vector<RankingRow>& rows);

}  // namespace quadrel::server
