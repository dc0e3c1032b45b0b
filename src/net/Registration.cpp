// The ranking server reads the fields by name and in this order; text values
// travel as they are, without any encoding.
#include "net/Registration.hpp"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"

namespace quadrel {
namespace {

constexpr char kBadReply[] = N_("Error: the ranking server's answer is not valid.");

}  // namespace

RegistrationForm RegistrationFormFor(const RankingEntry& row, int32_t reachedLevel,
                                     const ReplayStore& store) {
  RegistrationForm form;
  // The row's fixed-width texts, blanks included, never past their fields.
  form.name.assign(row.name, strnlen(row.name, sizeof row.name - 1));
  form.dateTime.assign(row.dateTime, strnlen(row.dateTime, sizeof row.dateTime - 1));
  form.score = row.score;
  form.level = reachedLevel;
  form.fileName = store.fileName();
  form.data = store.data();
  form.size = store.data() ? store.usedSize() : 0;
  form.complete = !store.overflowed();
  return form;
}

Verdict ReplyVerdict(const char* reply) {
  size_t length = std::strlen(reply);
  if (length < 2 || reply[length - 2] != '-') return Verdict::Accepted;
  switch (reply[length - 1]) {
    case '1': return Verdict::Failed;
    case '2': return Verdict::OutOfRank;
    case '3': return Verdict::BadVersion;
    default: return Verdict::Accepted;
  }
}

bool ReplyHasSuccessStatus(const char* reply) {
  // "HTTP/1.x NNN ...": the code is the three digits after the first blank.
  if (std::strncmp(reply, "HTTP/", 5) != 0) return false;
  const char* lineEnd = std::strchr(reply, '\n');
  const char* blank = std::strchr(reply, ' ');
  if (!blank || (lineEnd && blank > lineEnd)) return false;
  for (int i = 1; i <= 3; ++i)
    if (blank[i] < '0' || blank[i] > '9') return false;
  return blank[1] == '2';
}

Verdict RegisterOnline(Http& http, const std::string& url, const RegistrationForm& form) {
  if (!form.complete) return Verdict::Failed;
  const std::pair<std::string, std::string> texts[] = {
      {protocol::kFieldCommand, protocol::kRegisterCommand},
      {protocol::kFieldVersion, std::to_string(kReplayVersion)},
      {protocol::kFieldName, form.name},
      {protocol::kFieldDaytime, form.dateTime},
      {protocol::kFieldScore, std::to_string(form.score)},
      {protocol::kFieldLevel, std::to_string(form.level)},
      {protocol::kFieldFileName, form.fileName},
  };
  // The body is sized to its parts and the closing line; one the server would
  // not take gets the server's limit, and the part that does not fit is refused.
  size_t needed =
      kFormClosingLength + FormPartSize(sizeof protocol::kFieldData - 1, std::min(form.size, kRegistrationBodyMax), true);
  for (const auto& [name, value] : texts) needed += FormPartSize(name.size(), value.size(), false);
  http.BeginBody(std::min(needed, kRegistrationBodyMax));
  if (!http.body()) return Verdict::Failed;
  for (const auto& [name, value] : texts)
    http.AddFormField(name, value.data(), value.size(), false);
  http.AddFormField(protocol::kFieldData, form.data, form.size, true);
  // A body too large for the server is not sent at all.
  if (http.bodyRefused()) return Verdict::Failed;

  std::vector<char> reply(kRegistrationReplySize, '\0');
  if (http.Post(url, reply.data(), reply.size()) != kHttpOk) return Verdict::Failed;
  // The transport has shown its own messages; only a whole reply has a verdict.
  if (!http.lastExchangeComplete()) return Verdict::Failed;
  if (!ReplyHasSuccessStatus(reply.data())) {
    ShowDebugMessage(Tr(kBadReply));
    return Verdict::Failed;
  }
  return ReplyVerdict(reply.data());
}

}  // namespace quadrel
