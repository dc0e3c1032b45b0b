// The local top-ten table (work in progress).
#include "ranking/RankingTable.hpp"

namespace quadrel {

void LoadRankingFile(RankingTable&, const std::string&) {}
bool SaveRankingFile(const RankingTable&, const std::string&) { return false; }
void InsertRankingEntry(RankingTable& table, AppContext& ctx) {
  table.newEntryIndex = kNoNewEntry;
  ctx.score = 0;
}
void EditRankingName(RankingTable&, const KeyboardState&, const KeyboardState&, bool) {}
const char* const KeyCharTable[256][2] = {};
const char* RankLabel(int) { return ""; }
std::string FormatRankingDate(const std::tm&) { return {}; }
std::string FormatRankingRecord(const RankingEntry&) { return {}; }

}  // namespace quadrel
