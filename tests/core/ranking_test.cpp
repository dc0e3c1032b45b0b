// The local top ten: insertion, the name editor, the file's exact lines,
// damaged files, scores beyond eight digits and saves that cannot complete.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/Diagnostics.hpp"
#include "ranking/RankingTable.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

struct RecordingSink : MessageSink {
  std::vector<std::string> shown;
  void ShowMessage(const std::string& caption, const std::string& text) override {
    shown.push_back(caption + ": " + text);
  }
  void RequestQuit(int) override {}
};

class Ranking : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quadrel-ranking-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "ranking.dat").string();
    SetMessageSink(&sink_);
    ctx_ = std::make_unique<AppContext>();
    ctx_->finishLocalTime.tm_year = 2005 - 1900;
    ctx_->finishLocalTime.tm_mon = 4;
    ctx_->finishLocalTime.tm_mday = 11;
    ctx_->finishLocalTime.tm_hour = 13;
    ctx_->finishLocalTime.tm_min = 4;
    ctx_->finishLocalTime.tm_sec = 5;
  }
  void TearDown() override {
    SetMessageSink(nullptr);
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  void WriteFile(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::string ReadFile() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Inserts a score; returns the row it took (99 when it did not make the table).
  int32_t Insert(RankingTable& t, int32_t score) {
    ctx_->score = score;
    InsertRankingEntry(t, *ctx_);
    return t.newEntryIndex;
  }
  static std::string Line(const char* score, const char* name, const char* date) {
    return std::string(score) + name + date + "\n";
  }

  RecordingSink sink_;
  fs::path dir_;
  std::string path_;
  std::unique_ptr<AppContext> ctx_;
};

// One pass of key states: Press goes down on this pass, Hold was already down.
struct Keys {
  KeyboardState now{}, previous{};
  Keys& Hold(int code) {
    now.keys[code] = 0x80;
    previous.keys[code] = 0x80;
    return *this;
  }
  Keys& Press(int code) {
    now.keys[code] = 0x80;
    return *this;
  }
};

void Pass(RankingTable& t, Keys k, bool entry = true) { EditRankingName(t, k.now, k.previous, entry); }

TEST_F(Ranking, InsertionKeepsOlderRowsAboveEqualScoresAndDropsTheTenth) {
  RankingTable t;
  EXPECT_EQ(Insert(t, 1500), 0);
  EXPECT_EQ(t.rows[0].score, 1500);
  EXPECT_STREQ(t.rows[0].name, "          ");
  EXPECT_STREQ(t.rows[0].dateTime, "2005/05/11 13:04:05");
  EXPECT_EQ(ctx_->score, 1500);

  RankingTable full;
  for (int i = 0; i < kRankingRows; ++i) full.rows[i].score = 1000 - 100 * i;  // 1000 .. 100
  std::strcpy(full.rows[3].name, "fourth    ");
  // Equal to row 3, above row 4: below the older row.
  EXPECT_EQ(Insert(full, 700), 4);
  EXPECT_EQ(full.rows[3].score, 700);
  EXPECT_STREQ(full.rows[3].name, "fourth    ");
  EXPECT_EQ(full.rows[5].score, 600);
  EXPECT_EQ(full.rows[9].score, 200);  // 100 fell out

  // Equal to the lowest row of a full table: no entry, score cleared, table unchanged.
  RankingTable before = full;
  EXPECT_EQ(Insert(full, 200), kNoNewEntry);
  EXPECT_EQ(ctx_->score, 0);
  EXPECT_EQ(std::memcmp(&before.rows, &full.rows, sizeof full.rows), 0);

  // Nothing at or below zero enters, not even an empty table (a wrapped score).
  RankingTable empty;
  EXPECT_EQ(Insert(empty, 0), kNoNewEntry);
  EXPECT_EQ(Insert(empty, -5), kNoNewEntry);
  EXPECT_EQ(ctx_->score, 0);
  EXPECT_EQ(empty.rows[0].score, 0);
}

TEST_F(Ranking, TypingFillsTheNameAndTheEleventhCharacterReplacesTheLast) {
  RankingTable t;
  Insert(t, 1500);
  const int letters[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1E};
  for (int code : letters) Pass(t, Keys().Press(code));
  EXPECT_STREQ(t.rows[0].name, "qwertyuioa");
  EXPECT_EQ(t.nameCursor, 9);
  // Holding a key types once; a key pressed outside the name entry types nothing.
  Pass(t, Keys().Hold(0x1F));
  Pass(t, Keys().Press(0x1F), false);
  EXPECT_STREQ(t.rows[0].name, "qwertyuioa");
  // Nothing but the one-character names types.
  Pass(t, Keys().Press(0x3B).Press(0x1C).Press(0x0D).Press(0xC8));
  EXPECT_STREQ(t.rows[0].name, "qwertyuioa");
}

TEST_F(Ranking, BackspaceAndDeleteAtTheStartAndInTheMiddle) {
  RankingTable t;
  Insert(t, 1500);
  std::strcpy(t.rows[0].name, "abcdefghij");
  Pass(t, Keys().Press(key::Backspace));
  EXPECT_STREQ(t.rows[0].name, "abcdefghij");
  EXPECT_EQ(t.nameCursor, 0);
  Pass(t, Keys().Press(0xD3));  // Delete
  EXPECT_STREQ(t.rows[0].name, "bcdefghij ");
  EXPECT_EQ(t.nameCursor, 0);

  t.nameCursor = 3;
  Pass(t, Keys().Press(key::Backspace), false);  // editing goes on after the entry
  EXPECT_STREQ(t.rows[0].name, "bcefghij  ");
  EXPECT_EQ(t.nameCursor, 2);
  // Right, Left and Backspace on one pass run in that order.
  Pass(t, Keys().Press(key::Right).Press(key::Right));
  EXPECT_EQ(t.nameCursor, 3);
  t.nameCursor = 9;
  Pass(t, Keys().Press(key::Right));
  EXPECT_EQ(t.nameCursor, 9);
  // Typing in the middle pushes the rest right; the last character is lost.
  std::strcpy(t.rows[0].name, "abcdefghij");
  t.nameCursor = 2;
  Pass(t, Keys().Press(0x2D));
  EXPECT_STREQ(t.rows[0].name, "abxcdefghi");
  EXPECT_EQ(t.nameCursor, 3);

  // Without a new row no key changes any name.
  RankingTable none;
  std::strcpy(none.rows[0].name, "keep me   ");
  none.rows[0].score = 10;
  Pass(none, Keys().Press(0xD3).Press(0x10));
  none.nameCursor = 1;
  Pass(none, Keys().Press(key::Backspace));
  EXPECT_STREQ(none.rows[0].name, "keep me   ");
}

TEST_F(Ranking, KeysOfOnePassTypeInKeyCodeOrderAndShiftUsesTheSecondColumn) {
  RankingTable t;
  Insert(t, 1500);
  // z (0x2C) and q (0x10) on one pass: q first.
  Pass(t, Keys().Press(0x2C).Press(0x10));
  EXPECT_EQ(std::string(t.rows[0].name, 2), "qz");
  Pass(t, Keys().Hold(0x2A).Press(0x0B));  // Shift+0
  Pass(t, Keys().Hold(0x36).Press(0x0C));  // right Shift+minus
  Pass(t, Keys().Hold(0x2A).Press(0x03));  // Shift+2
  Pass(t, Keys().Press(0x39).Press(0x91));  // space, at
  EXPECT_STREQ(t.rows[0].name, "qz0=\" @   ");

  // Every code up to 0x92 has a name, the rest are empty.
  for (int code = 0; code < 256; ++code) {
    for (int column = 0; column < 2; ++column) {
      ASSERT_NE(KeyCharTable[code][column], nullptr);
      EXPECT_EQ(std::strlen(KeyCharTable[code][column]) > 0, code <= 0x92) << code;
      EXPECT_LE(std::strlen(KeyCharTable[code][column]), 14u);
    }
  }
  EXPECT_STREQ(KeyCharTable[0x01][0], "ESCAPE");
  EXPECT_STREQ(KeyCharTable[0x27][1], "+");
  EXPECT_STREQ(KeyCharTable[0x90][1], "~");
  EXPECT_STREQ(RankLabel(0), "1st");
  EXPECT_STREQ(RankLabel(9), "10th");
  EXPECT_STREQ(RankLabel(10), "");
}

TEST_F(Ranking, OneRowSavesAsTheExact38ByteLine) {
  RankingTable t;
  Insert(t, 1500);
  ASSERT_TRUE(SaveRankingFile(t, path_));
  EXPECT_EQ(ReadFile(), "00001500          2005/05/11 13:04:05\n");
  EXPECT_EQ(ReadFile().size(), 38u);
  EXPECT_TRUE(sink_.shown.empty());
  // No stray temporary file beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  RankingTable back;
  LoadRankingFile(back, path_);
  EXPECT_EQ(std::memcmp(&back.rows[0], &t.rows[0], sizeof t.rows[0]), 0);
}

TEST_F(Ranking, TwelveLinesFillTenRowsAndRowsBeyondTheFileKeepTheirValues) {
  std::string file;
  for (int i = 0; i < 12; ++i) {
    char score[16];
    std::snprintf(score, sizeof score, "%08d", 1200 - 100 * i);
    file += Line(score, "name      ", "2005/05/11 13:04:05");
  }
  WriteFile(file);
  RankingTable t;
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[0].score, 1200);
  EXPECT_EQ(t.rows[9].score, 300);
  EXPECT_STREQ(t.rows[9].name, "name      ");

  WriteFile(Line("00000900", "short     ", "2005/05/11 13:04:05"));
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[0].score, 900);
  EXPECT_EQ(t.rows[1].score, 1100);

  // A missing file is created empty and changes nothing.
  fs::remove(path_);
  LoadRankingFile(t, path_);
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_EQ(t.rows[0].score, 900);
}

TEST_F(Ranking, DamagedFilesLeaveUnreadableRowsAsTheyWere) {
  RankingTable t;
  for (int i = 0; i < kRankingRows; ++i) {
    t.rows[i].score = 7;
    std::strcpy(t.rows[i].name, "old       ");
  }
  const std::string date = "2005/05/11 13:04:05";
  std::string file;
  file += Line("0000x500", "bad digit ", date.c_str());           // row 0: not a number
  file += Line("00000400", "ok        ", date.c_str());           // row 1
  file += "00000300short\n";                                       // row 2: too short
  file += std::string("0000020\0", 8) + "nul       " + date + "\n";  // row 3: NUL in the score
  file += "00000100" + std::string("n\0l\0\0     ", 10) + date + "\n";  // row 4: NULs in the name
  file += std::string(200, '\xff') + "\n";                         // row 5: binary junk
  file += Line("99999999999", "too long  ", date.c_str());        // row 6: beyond 32 bits
  file += Line("00000050", "lastrow   ", date.c_str()).substr(0, 30);  // row 7: short, no LF
  WriteFile(file);
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[0].score, 7);
  EXPECT_STREQ(t.rows[0].name, "old       ");
  EXPECT_EQ(t.rows[1].score, 400);
  EXPECT_STREQ(t.rows[1].name, "ok        ");
  EXPECT_EQ(t.rows[2].score, 7);
  EXPECT_EQ(t.rows[3].score, 7);
  EXPECT_EQ(t.rows[4].score, 100);
  EXPECT_EQ(t.rows[4].name[0], 'n');  // taken verbatim, NULs and all
  EXPECT_EQ(t.rows[5].score, 7);
  EXPECT_EQ(t.rows[6].score, 7);
  EXPECT_EQ(t.rows[7].score, 7);
  for (const RankingEntry& row : t.rows) {
    EXPECT_EQ(row.name[10], '\0');
    EXPECT_EQ(row.dateTime[19], '\0');
  }
  // A row with NULs in its name still saves as one line of 38 bytes.
  ASSERT_TRUE(SaveRankingFile(t, path_));
  const std::string saved = ReadFile();
  EXPECT_EQ(saved.size(), 10u * 38u);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 10);

  // Two records run together without their line feed: neither is taken.
  WriteFile(Line("00000900", "first     ", date.c_str()).substr(0, 37) +
            Line("00000800", "second    ", date.c_str()));
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[0].score, 7);
  EXPECT_EQ(t.rows[1].score, 400);

  // Larger than any ranking could be: refused whole.
  WriteFile(Line("00000900", "first     ", date.c_str()) + std::string(64 * 1024, '\n'));
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[0].score, 7);

  // Not a file at all.
  fs::remove(path_);
  fs::create_directory(path_);
  LoadRankingFile(t, path_);
  EXPECT_EQ(t.rows[1].score, 400);
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  LoadRankingFile(t, (dir_ / "fifo").string());
  EXPECT_EQ(t.rows[1].score, 400);
}

TEST_F(Ranking, ScoresBeyondEightDigitsAndNegativeOnesSurviveSaveAndLoad) {
  RankingTable t;
  Insert(t, 5000);
  Insert(t, 123456789);
  Insert(t, INT32_MAX);
  std::strcpy(t.rows[0].name, "1234567890");  // digits in the name do not join the score
  t.rows[3].score = -1500;
  std::strcpy(t.rows[3].name, "wrapped   ");
  std::strcpy(t.rows[3].dateTime, "2005/05/11 13:04:05");
  ASSERT_TRUE(SaveRankingFile(t, path_));
  const std::string saved = ReadFile();
  // Longer lines only for the scores that need them.
  EXPECT_EQ(saved.substr(0, 40), "214748364712345678902005/05/11 13:04:05\n");
  EXPECT_EQ(saved.substr(40, 39), "123456789          2005/05/11 13:04:05\n");
  EXPECT_EQ(saved.substr(79, 38), "00005000          2005/05/11 13:04:05\n");
  EXPECT_NE(saved.find("-0001500wrapped   2005/05/11 13:04:05\n"), std::string::npos);

  RankingTable back;
  LoadRankingFile(back, path_);
  EXPECT_EQ(back.rows[0].score, INT32_MAX);
  EXPECT_STREQ(back.rows[0].name, "1234567890");
  EXPECT_EQ(back.rows[1].score, 123456789);
  EXPECT_EQ(back.rows[2].score, 5000);
  EXPECT_STREQ(back.rows[2].dateTime, "2005/05/11 13:04:05");
  EXPECT_EQ(back.rows[3].score, -1500);
  EXPECT_STREQ(back.rows[3].name, "wrapped   ");
}

TEST_F(Ranking, ASaveThatCannotCompleteFailsAndKeepsTheOldFile) {
  RankingTable t;
  Insert(t, 1500);
  const std::string old = Line("00009999", "old table ", "2005/05/11 13:04:05");

  // Missing folder.
  EXPECT_FALSE(SaveRankingFile(t, (dir_ / "missing" / "ranking.dat").string()));
  ASSERT_EQ(sink_.shown.size(), 1u);
  EXPECT_EQ(sink_.shown[0], "Debug: Write Error.");

  // A disk that fills during the write: the old table stays whole, no temporary is left.
  for (int i = 0; i < kRankingRows; ++i) Insert(t, 2000 + i);
  WriteFile(old);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = SaveRankingFile(t, path_);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadFile(), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_EQ(sink_.shown.size(), 2u);

  // A read-only folder (the superuser writes anyway, so only checked for others).
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  if (::access(dir_.c_str(), W_OK) != 0) {
    EXPECT_FALSE(SaveRankingFile(t, path_));
    EXPECT_EQ(ReadFile(), old);
  }
}

}  // namespace
}  // namespace quadrel::test
