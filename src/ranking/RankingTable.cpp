// The local top-ten table. The file is read a line at a time: every file the
// game has written (38-byte lines) reads as before, and a score too large for
// eight digits gets a longer line instead of being cut or spilling into the
// name. Saving goes through a temporary file renamed over the old one, so a
// crash or a full disk never costs the table already on disk.
#include "ranking/RankingTable.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "files/SafeFile.hpp"

namespace quadrel {
namespace {

constexpr int kDeleteKey = 0xD3;
constexpr int kLeftShiftKey = 0x2A;
constexpr int kRightShiftKey = 0x36;

// Name and date-time after the score: every line is this much longer than its score.
constexpr size_t kTextAfterScore = kRankingNameLength + kRankingDateLength;
// The widest score "%08d" prints is "-2147483648"; longer lines are junk.
constexpr size_t kMaxLineLength = 11 + kTextAfterScore;

void CopyField(char* dest, const char* src, size_t length) {
  std::memcpy(dest, src, length);
  dest[length] = '\0';
}

// The score field: an optional minus and decimal digits only, within 32 bits.
bool ParseScore(const char* text, size_t length, int32_t& score) {
  size_t i = 0;
  const bool negative = length > 0 && text[0] == '-';
  if (negative) i = 1;
  if (i == length) return false;
  int64_t value = 0;
  for (; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 31) return false;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  score = static_cast<int32_t>(value);
  return true;
}

// One record into one row; a line that does not parse leaves the row as it was.
void ParseRecord(const char* line, size_t length, RankingEntry& row) {
  if (length < 8 + kTextAfterScore || length > kMaxLineLength) return;
  const size_t scoreLength = length - kTextAfterScore;
  int32_t score = 0;
  if (!ParseScore(line, scoreLength, score)) return;
  row.score = score;
  CopyField(row.name, line + scoreLength, kRankingNameLength);
  CopyField(row.dateTime, line + scoreLength + kRankingNameLength, kRankingDateLength);
}

}  // namespace

std::string FormatRankingDate(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string FormatRankingRecord(const RankingEntry& entry) {
  // The fields are bounded by their own terminators, so a row read from a
  // damaged file still prints within its widths.
  char name[kRankingNameLength + 1];
  char date[kRankingDateLength + 1];
  CopyField(name, entry.name, kRankingNameLength);
  CopyField(date, entry.dateTime, kRankingDateLength);
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%08d%10s%19s\n", entry.score, name, date);
  return std::string(line, static_cast<size_t>(n));
}

const char* RankLabel(int index) {
  static constexpr const char* kLabels[kRankingRows] = {"1st", "2nd", "3rd", "4th", "5th",
                                                        "6th", "7th", "8th", "9th", "10th"};
  return index >= 0 && index < kRankingRows ? kLabels[index] : "";
}

void LoadRankingFile(RankingTable& table, const std::string& path) {
  // Created empty when missing, as the game always had.
  const int created = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (created >= 0) {
    ::close(created);
    return;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!files::ReadWholeFile(path, files::FileKind::Ranking, bytes, &error)) {
    files::WarnFileProblem(path, error);
    return;
  }
  // Only the first ten lines count. A line is kept up to one byte past the
  // longest record, which is enough to know it is junk.
  char line[kMaxLineLength + 1];
  size_t length = 0;
  int row = 0;
  for (size_t i = 0; i < bytes.size() && row < kRankingRows; ++i) {
    if (bytes[i] == '\n') {
      ParseRecord(line, length, table.rows[row++]);
      length = 0;
    } else if (length < sizeof line) {
      line[length++] = static_cast<char>(bytes[i]);
    }
  }
  // A last line without its line feed is still a record.
  if (row < kRankingRows && length > 0) ParseRecord(line, length, table.rows[row]);
}

bool SaveRankingFile(const RankingTable& table, const std::string& path) {
  std::string bytes;
  for (const RankingEntry& row : table.rows)
    if (row.score != 0) bytes += FormatRankingRecord(row);

  const bool ok = files::ReplaceFileAtomically(path, bytes);
  if (!ok) ShowDebugMessage(Tr("Write Error."));
  return ok;
}

void InsertRankingEntry(RankingTable& table, AppContext& ctx) {
  table.newEntryIndex = kNoNewEntry;
  // A score of 0 or below never enters (a wrapped 32-bit score is not a place to keep).
  int at = ctx.score > 0 ? 0 : kRankingRows;
  while (at < kRankingRows && table.rows[at].score >= ctx.score) ++at;
  if (at == kRankingRows) {
    ctx.score = 0;
    return;
  }
  for (int i = kRankingRows - 1; i > at; --i) table.rows[i] = table.rows[i - 1];
  RankingEntry& row = table.rows[at];
  row.score = ctx.score;
  std::memset(row.name, ' ', kRankingNameLength);
  row.name[kRankingNameLength] = '\0';
  const std::string date = FormatRankingDate(ctx.finishLocalTime);
  std::memset(row.dateTime, 0, sizeof row.dateTime);
  std::memcpy(row.dateTime, date.data(), std::min<size_t>(date.size(), kRankingDateLength));
  table.newEntryIndex = at;
}

void EditRankingName(RankingTable& table, const KeyboardState& now, const KeyboardState& previous,
                     bool nameEntry) {
  auto pressed = [&](int code) { return IsDown(now.keys[code]) && !IsDown(previous.keys[code]); };
  int32_t& cursor = table.nameCursor;
  if (cursor < 0) cursor = 0;
  if (cursor > kRankingNameLength - 1) cursor = kRankingNameLength - 1;
  const bool hasRow = table.newEntryIndex >= 0 && table.newEntryIndex < kRankingRows;
  char* name = hasRow ? table.rows[table.newEntryIndex].name : nullptr;
  auto removeAt = [&](int position) {
    if (!name) return;
    std::memmove(name + position, name + position + 1, kRankingNameLength - 1 - position);
    name[kRankingNameLength - 1] = ' ';
  };

  if (pressed(key::Right) && cursor < kRankingNameLength - 1) cursor += 1;
  if (pressed(key::Left) && cursor > 0) cursor -= 1;
  if (pressed(key::Backspace)) {
    if (cursor > 0) {
      cursor -= 1;
      removeAt(cursor);
    }
  }
  if (pressed(kDeleteKey)) removeAt(cursor);
  if (!nameEntry || !name) return;

  const bool shift = IsDown(now.keys[kLeftShiftKey]) || IsDown(now.keys[kRightShiftKey]);
  for (int code = 0; code < 256; ++code) {
    if (!pressed(code)) continue;
    const char* typed = KeyCharTable[code][shift ? 1 : 0];
    if (!typed || typed[0] == '\0' || typed[1] != '\0') continue;
    std::memmove(name + cursor + 1, name + cursor, kRankingNameLength - 1 - cursor);
    name[cursor] = typed[0];
    if (cursor < kRankingNameLength - 1) cursor += 1;
  }
}

}  // namespace quadrel
