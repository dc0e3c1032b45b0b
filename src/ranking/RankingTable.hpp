// The local top-ten table: its rows, the file "ranking.dat", the insertion of
// a finished game's score and the keyboard name editor. Headless: the file is
// plain stdio/POSIX and messages go through the game's message sink.
#pragma once

#include <cstdint>
#include <string>

#include "game/AppContext.hpp"
#include "game/Types.hpp"

namespace quadrel {

constexpr int kRankingRows = 10;
constexpr int32_t kNoNewEntry = 99;
constexpr int kRankingNameLength = 10;
constexpr int kRankingDateLength = 19;
// One record of a score below 100,000,000: 8 digits, name, date, line feed.
constexpr int kRankingRecordBytes = 38;

struct RankingEntry {
  int32_t score;
  char name[11];
  char dateTime[20];
};

// The process-wide table lives for the whole run.
struct RankingTable {
  RankingEntry rows[kRankingRows]{};
  int32_t newEntryIndex = kNoNewEntry;
  int32_t nameCursor = 0;
};

constexpr char kRankingFileName[] = "ranking.dat";

// Overwrites the rows the file covers; the others keep what they held.
// A missing file is created empty; an unreadable one counts as empty.
void LoadRankingFile(RankingTable& table, const std::string& path = kRankingFileName);
// Writes through a temporary file in the same folder + flush + rename; returns false on any
// failure (and shows "Write Error." through the game's message sink). The old file is kept
// whole when the save fails.
bool SaveRankingFile(const RankingTable& table, const std::string& path = kRankingFileName);
// Places ctx.score with the date of ctx.finishLocalTime; sets newEntryIndex, or 99 and
// ctx.score = 0 when the score does not make the table.
void InsertRankingEntry(RankingTable& table, AppContext& ctx);
// One pass of the name editor; typing only while nameEntry is true.
void EditRankingName(RankingTable& table, const KeyboardState& now, const KeyboardState& previous,
                     bool nameEntry);

// DirectInput key names by key code, [code][0] alone, [code][1] with Shift.
extern const char* const KeyCharTable[256][2];
// "1st".."10th"; "" outside 0..9.
const char* RankLabel(int index);

// "YYYY/MM/DD hh:mm:ss" of a broken-down local time (year + 1900, month + 1).
std::string FormatRankingDate(const std::tm& t);
// The line written for one row ("%08d%10s%19s\n"); 38 bytes below 100,000,000.
std::string FormatRankingRecord(const RankingEntry& entry);

}  // namespace quadrel
