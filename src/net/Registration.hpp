// Registration of a finished game with the internet ranking: the table row,
// the level reached and the replay in one form POST, and the server's verdict.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/Http.hpp"
#include "net/RankingServer.hpp"
#include "ranking/RankingTable.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {

using protocol::Verdict;

// The largest body the ranking server takes: 2 MiB, room for a replay the
// store holds whole (1,296,160 bytes) and the texts.
constexpr size_t kRegistrationBodyMax = 2 * 1024 * 1024;
constexpr size_t kRegistrationReplySize = 4096;

struct RegistrationForm {
  std::string name;      // the row's ten characters, trailing blanks included
  std::string dateTime;  // "YYYY/MM/DD hh:mm:ss"
  int32_t score = 0;
  int32_t level = 0;     // level the game ended in, 0 to 4; 5 when all were cleared
  std::string fileName;  // the replay's file name, without the folder
  const uint8_t* data = nullptr;  // the replay image
  size_t size = 0;
  // False for a replay whose recording stopped at the store's limit: it could
  // not play back, so it is never sent.
  bool complete = true;
};

// The new row of the local table, the level the game ended in and the
// replay's file name and used bytes. The form points into store.
RegistrationForm RegistrationFormFor(const RankingEntry& row, int32_t reachedLevel,
                                     const ReplayStore& store);

// The verdict written at the very end of a reply: "-1", "-2", "-3", else accepted.
Verdict ReplyVerdict(const char* reply);
// True when the reply opens with an HTTP status line of a 2xx status.
bool ReplyHasSuccessStatus(const char* reply);

// Sends the form and returns the server's verdict. Anything short of a whole
// reply from a server that answered (no connection, a cut or missing reply,
// no success status, a body larger than kRegistrationBodyMax) is a failure, -1.
Verdict RegisterOnline(Http& http, const std::string& url, const RegistrationForm& form);

}  // namespace quadrel
