// PostgreSQL failing under a running server: sessions the database ended, a
// commit whose answer never arrived, the session limits and the operator's
// own. Runs in the private cluster of server_postgres.sh.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "GameClient.hpp"
#include "PostgresStorage.hpp"
#include "ServerFixture.hpp"

namespace quadrel::test {
namespace {

using server::StoreResult;

std::string AdminValue(const std::string& sql) {
  PGconn* c = PQconnectdb(PostgresAdminUrl().c_str());
  PGresult* r = PQexec(c, sql.c_str());
  std::string value = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0
                          ? PQgetvalue(r, 0, 0) : "error: " + std::string(PQerrorMessage(c));
  PQclear(r);
  PQfinish(c);
  return value;
}

class PostgresRecovery : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PostgresAdminUrl().empty()) GTEST_SKIP() << "no PostgreSQL cluster (run through server_postgres.sh)";
    const auto lost = LostGoldenReplays();
    ASSERT_FALSE(lost.empty()) << "recorded games missing";
    replay_ = ReadBinaryFile(lost[0]);
    database_ = NewPostgresDatabase();
    ASSERT_FALSE(database_.empty());
  }
  void TearDown() override {
    server::gPostgresRegisterStepForTests = nullptr;
    if (!database_.empty()) AdminCommand("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  }
  std::unique_ptr<server::RankingStorage> Open(int connections, const std::string& extra = "") {
    return server::OpenStorage(PostgresUrlFor(database_) + extra, connections);
  }
  server::Registration Game(int k) const {
    const GameFields f = FieldsFor(ReplayVariant(replay_, k), "PLAYER " + std::to_string(k), "a.rep");
    return {f.name, f.daytime, std::stoi(f.score), std::stoi(f.level), f.filename, f.data};
  }
  static StoreResult Register(server::RankingStorage& s, const server::Registration& r,
                              int64_t* id = nullptr) {
    const server::Digest d = server::GameDigest(r.replay);
    return s.Register(r, server::GameDigests{d, d, d}, 100, id);
  }
  // What a restart of the database does to every open connection.
  void EndSessions() const {
    const std::string sessions = " FROM pg_stat_activity WHERE datname = '" + database_ + "'";
    ASSERT_TRUE(AdminCommand("SELECT pg_terminate_backend(pid)" + sessions));
    for (int i = 0; i < 500 && AdminValue("SELECT count(*)" + sessions) != "0"; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string database_;
  std::string replay_;
};

TEST_F(PostgresRecovery, ConnectionsTheDatabaseEndedAreOpenedAgain) {
  auto storage = Open(2);
  EXPECT_EQ(Register(*storage, Game(1)), StoreResult::Stored);
  EndSessions();
  EXPECT_EQ(storage->Top(10).size(), 1u);
  EndSessions();
  int64_t id = 0;
  EXPECT_EQ(Register(*storage, Game(2), &id), StoreResult::Stored);
  EndSessions();
  EXPECT_TRUE(storage->Replay(id).has_value());
  EXPECT_EQ(storage->Top(10).size(), 2u);
}

// The connection breaks just before the registration's COMMIT is answered: the
// retry must call the game stored when that COMMIT went through, and
// registered before when another registration stored it in between.
struct LostAnswer {
  bool committed;
  StoreResult expected;
};
class LostCommitAnswer : public PostgresRecovery,
                         public ::testing::WithParamInterface<LostAnswer> {};

std::unique_ptr<server::RankingStorage> gOther;
server::Registration gOtherGame;

TEST_P(LostCommitAnswer, RetryTellsItsOwnCommitFromAnother) {
  auto storage = Open(1);
  gOther = GetParam().committed ? nullptr : Open(1);
  gOtherGame = Game(1);
  static bool committed;
  committed = GetParam().committed;
  server::gPostgresRegisterStepForTests = [](const char* step, pg_conn* c) {
    if (std::string(step) != "commit") return;
    server::gPostgresRegisterStepForTests = nullptr;
    if (committed) PQclear(PQexec(c, "COMMIT"));
    shutdown(PQsocket(c), SHUT_RDWR);
    if (!committed) {
      EXPECT_EQ(Register(*gOther, gOtherGame), StoreResult::Stored);
    }
  };
  int64_t id = 0;
  EXPECT_EQ(Register(*storage, Game(1), &id), GetParam().expected);
  const auto rows = storage->Top(10);
  ASSERT_EQ(rows.size(), 1u);
  if (GetParam().expected == StoreResult::Stored) {
    EXPECT_EQ(rows[0].id, id);
  }
  EXPECT_EQ(Register(*storage, Game(1)), StoreResult::Duplicate) << "a second registration";
  gOther.reset();
}

INSTANTIATE_TEST_SUITE_P(PostgresRecovery, LostCommitAnswer,
                         ::testing::Values(LostAnswer{true, StoreResult::Stored},
                                           LostAnswer{false, StoreResult::Duplicate}));

TEST_F(PostgresRecovery, SessionLimitsApplyWhereTheOperatorSetNone) {
  static std::string seen;
  server::gPostgresRegisterStepForTests = [](const char* step, pg_conn* c) {
    if (std::string(step) != "locked") return;
    seen.clear();
    for (const char* name : {"idle_in_transaction_session_timeout", "lock_timeout", "statement_timeout"}) {
      PGresult* r = PQexec(c, ("SHOW " + std::string(name)).c_str());
      seen += std::string(PQntuples(r) == 1 ? PQgetvalue(r, 0, 0) : "?") + " ";
      PQclear(r);
    }
  };
  EXPECT_EQ(Register(*Open(1), Game(1)), StoreResult::Stored);
  EXPECT_EQ(seen, "2s 3s 5s ");
  ASSERT_TRUE(AdminCommand("ALTER DATABASE " + database_ + " SET statement_timeout = '9s'"));
  EXPECT_EQ(Register(*Open(1, "&options=-c%20lock_timeout%3D7s"), Game(2)), StoreResult::Stored);
  EXPECT_EQ(seen, "2s 7s 9s ");
}

}  // namespace
}  // namespace quadrel::test
