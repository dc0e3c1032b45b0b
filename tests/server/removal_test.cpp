// A removed entry stays out: its game, and a game that plays the same, are
// refused afterwards, on both back ends. And a database from before the
// re-simulation's digests opens and keeps its rows and their copy check.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <unistd.h>

#include <filesystem>

#include "GameClient.hpp"
#include "ServerFixture.hpp"

namespace quadrel::test {
namespace {

constexpr const char* kGameType = protocol::kFormContentType;

class Removal : public ::testing::TestWithParam<std::string> {};

TEST_P(Removal, ARemovedGameCannotComeBack) {
  if (GetParam() == "postgres" && PostgresAdminUrl().empty())
    GTEST_SKIP() << "no PostgreSQL cluster (run through server_postgres.sh)";
  LiveServer live(GetParam(), server::ServerOptions{});
  ASSERT_TRUE(live.ready());
  const std::vector<std::string> golden = GoldenReplays();
  const std::string cheat = ReadBinaryFile(golden.at(1)), honest = ReadBinaryFile(golden.at(2));
  auto send = [&](const std::string& replay, const char* name) {
    return live.server().Register(kGameType, GameBody(FieldsFor(replay, name, "x.rep"))).verdict;
  };
  ASSERT_EQ(send(cheat, "CHEAT     "), server::Verdict::Accepted);
  ASSERT_EQ(send(honest, "HONEST    "), server::Verdict::Accepted);

  const std::optional<server::RankingRow> removed = live.storage().Remove(1);
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(removed->name, "CHEAT     ");
  EXPECT_FALSE(live.storage().Replay(1).has_value());
  EXPECT_FALSE(live.storage().Remove(1).has_value()) << "removed twice";
  ASSERT_EQ(live.storage().Top(100).size(), 1u);

  EXPECT_EQ(send(cheat, "AGAIN     "), server::Verdict::Failed);
  std::string moved = cheat;  // plays the same: the leaving click moves the bar
  moved[moved.size() - 12] = 9;
  EXPECT_EQ(send(moved, "MOVED     "), server::Verdict::Failed);
  EXPECT_EQ(live.storage().Top(100).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Storage, Removal, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

TEST(Migration, AnOldDatabaseOpensAndItsGamesStayRegistered) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("quadrel-old-" + std::to_string(getpid()) + ".sqlite"))
          .string();
  const std::string replay = ReadBinaryFile(GoldenReplays().at(0));
  {
    // The table as it was, with one game in it.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " name TEXT NOT NULL, daytime TEXT NOT NULL, score INTEGER NOT NULL,"
                           " level INTEGER NOT NULL, filename TEXT NOT NULL,"
                           " game BLOB NOT NULL UNIQUE, replay BLOB NOT NULL,"
                           " registered TEXT NOT NULL DEFAULT '')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO entries (name, daytime, score, level, filename, game, replay)"
                       " VALUES ('OLD       ', '2005/05/12 09:04:21', 109920, 0, 'a.rep', ?1, ?2)",
                       -1, &s, nullptr);
    const server::Digest digest = server::GameDigest(replay);
    sqlite3_bind_blob(s, 1, digest.data(), 32, SQLITE_STATIC);
    sqlite3_bind_blob(s, 2, replay.data(), static_cast<int>(replay.size()), SQLITE_STATIC);
    EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
    sqlite3_finalize(s);
    sqlite3_close(db);
  }
  for (int opening = 0; opening < 2; ++opening) {  // the second finds the columns there
    auto storage = server::OpenSqliteStorage(file);
    server::RankingServer server(*storage, server::ServerOptions{});
    EXPECT_EQ(storage->Top(10).size(), 1u + opening);
    auto send = [&](const std::string& r) {
      return server.Register(kGameType, GameBody(FieldsFor(r, "NEW       ", "b.rep"))).verdict;
    };
    EXPECT_EQ(send(replay), server::Verdict::Failed) << "the old row's game";
    if (opening == 0) EXPECT_EQ(send(ReadBinaryFile(GoldenReplays().at(1))), server::Verdict::Accepted);
  }
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix, ec);
}

}  // namespace
}  // namespace quadrel::test
