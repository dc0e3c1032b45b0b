#include "Pages.hpp"

#include "base/JsonText.hpp"

namespace quadrel::server {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string SafeFileName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    out += plain ? c : '_';
  }
  if (out.empty() || out.front() == '.') out.insert(0, "replay");
  return out;
}

std::string LevelText(int32_t level) {
  return level >= 5 ? "ALL" : std::to_string(level + 1);
}

namespace {

constexpr const char* kStyle = R"(
body { background: #10131c; color: #e8e8f0; font-family: Georgia, 'Liberation Serif', serif;
       margin: 0; padding: 2em 1em; }
main { max-width: 46em; margin: 0 auto; }
h1 { font-weight: normal; letter-spacing: 0.2em; text-align: center; margin: 0 0 0.2em; }
p.note { text-align: center; color: #9aa0b4; margin: 0 0 1.5em; }
table { width: 100%; border-collapse: collapse; font-variant-numeric: tabular-nums; }
th, td { padding: 0.35em 0.6em; text-align: left; }
th { color: #9aa0b4; font-weight: normal; border-bottom: 1px solid #3a4058; }
tr:nth-child(even) td { background: #181c29; }
.rank, .score, .level { text-align: right; }
td.name { font-family: 'Liberation Mono', monospace; white-space: pre; }
td.score { color: #ffd66b; }
a { color: #8cc4ff; }
p.empty { text-align: center; color: #9aa0b4; }
)";

}  // namespace

std::string LeaderboardPage(const std::vector<RankingRow>& rows, int top) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>Quadrel ranking</title><style>";
  html += kStyle;
  html += "</style></head><body><main>\n<h1>QUADREL RANKING</h1>\n<p class=\"note\">The best ";
  html += std::to_string(top);
  html += " games. Every score was re-played from its replay before it was accepted.</p>\n";
  if (rows.empty()) {
    html += "<p class=\"empty\">No games registered yet.</p>\n";
  } else {
    html +=
        "<table>\n<thead><tr><th class=\"rank\">Rank</th><th>Name</th><th class=\"score\">Score</th>"
        "<th class=\"level\">Level</th>"
        "<th>Date</th><th>Replay</th><th>Game</th></tr></thead>\n<tbody>\n";
    int rank = 0;
    for (const RankingRow& row : rows) {
      ++rank;
      html += "<tr><td class=\"rank\">" + std::to_string(rank) + "</td><td class=\"name\">" +
              HtmlEscape(row.name) + "</td><td class=\"score\">" + std::to_string(row.score) +
              "</td><td class=\"level\">" + LevelText(row.level) + "</td><td>" +
              HtmlEscape(row.daytime) + "</td><td><a href=\"/replays/" + std::to_string(row.id) +
              ".rep\" download>" + HtmlEscape(row.fileName) + "</a></td><td><a href=\"/watch/" +
              std::to_string(row.id) + "\">Watch</a> <a href=\"/check?replay=/replays/" +
              std::to_string(row.id) + ".rep\">Check</a></td></tr>\n";
    }
    html += "</tbody></table>\n";
  }
  html += "</main></body></html>\n";
  return html;
}

std::string TopJson(const std::vector<RankingRow>& rows) {
  std::string json = "[";
  int rank = 0;
  for (const RankingRow& row : rows) {
    if (rank > 0) json += ",";
    ++rank;
    json += "\n{\"rank\":" + std::to_string(rank) + ",\"name\":\"" + JsonEscape(row.name) +
            "\",\"score\":" + std::to_string(row.score) + ",\"level\":\"" +
            LevelText(row.level) + "\",\"daytime\":\"" + JsonEscape(row.daytime) +
            "\",\"filename\":\"" + JsonEscape(row.fileName) + "\",\"replay\":\"/replays/" +
            std::to_string(row.id) + ".rep\"}";
  }
  json += "\n]\n";
  return json;
}

}  // namespace quadrel::server
