// Copies by what the simulation did: every registered game changed in one
// byte so that it still plays the same per-step trace must be refused as a
// copy with nothing stored; a changed game that plays differently and
// verifies is a new game. QUADREL_COPY_VARIANTS and QUADREL_COPY_SEED run
// more variants (the release measurement) than the fixed default.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "GameClient.hpp"
#include "Registration.hpp"
#include "ServerFixture.hpp"
#include "game/AppliedPlayback.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel::test {
namespace {

constexpr const char* kGameType = protocol::kFormContentType;

struct Played {
  ReplayCheck check;
  std::vector<TracePoint> trace;
  server::Digest played{};
  server::Digest traced{};
};

// The whole game, not stopped at a gap: its trace, and the digest of what it applied.
Played Play(const std::string& replay) {
  Played out;
  AppliedPlayback applied;
  CheckOptions options;
  options.trace = &out.trace;
  options.applied = &applied;
  out.check = CheckReplay(reinterpret_cast<const uint8_t*>(replay.data()), replay.size(), options);
  out.played = server::PlayedDigest(applied.bytes);
  out.traced = server::TraceDigest(out.trace);
  return out;
}

bool SameTrace(const std::vector<TracePoint>& a, const std::vector<TracePoint>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].frame != b[i].frame || a[i].score != b[i].score) return false;
  return true;
}

long EnvOr(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

TEST(CopyProperty, SameTraceVariantsAreRefusedAndOthersAreNot) {
  server::ServerOptions options;
  options.top = 1000000;
  LiveServer live("sqlite", options);
  ASSERT_TRUE(live.ready());
  auto registerGame = [&](const std::string& replay, const std::string& name) {
    return live.server().Register(kGameType, GameBody(FieldsFor(replay, name, "x.rep")));
  };
  const std::vector<std::string> paths = GoldenReplays();
  ASSERT_FALSE(paths.empty());
  std::vector<std::string> games;
  std::vector<Played> played;
  for (const std::string& path : paths) {
    games.push_back(ReadBinaryFile(path));
    played.push_back(Play(games.back()));
    ASSERT_EQ(registerGame(games.back(), "GOLDEN    ").verdict, server::Verdict::Accepted) << path;
  }
  // The genuinely different games are all new: each golden one is its own.
  for (size_t i = 0; i < played.size(); ++i)
    for (size_t j = i + 1; j < played.size(); ++j) {
      EXPECT_NE(played[i].played, played[j].played);
      EXPECT_NE(played[i].traced, played[j].traced);
    }

  const long count = EnvOr("QUADREL_COPY_VARIANTS", 500);
  std::mt19937 random(static_cast<uint32_t>(EnvOr("QUADREL_COPY_SEED", 20050511)));
  long kept = 0, refused = 0, unequal = 0, other = 0, otherAccepted = 0;
  long keptIn[3] = {};
  size_t stored = live.storage().Top(1000000).size();
  for (long n = 0; n < count; ++n) {
    const size_t g = random() % games.size();
    std::string variant = games[g];
    // Header, item plan and input records alike.
    const int region = static_cast<int>(random() % 3);
    const size_t from = region == 0 ? 0 : region == 1 ? 60 : 160;
    const size_t to = region == 0 ? 60 : region == 1 ? 160 : variant.size();
    const size_t at = from + random() % (to - from);
    variant[at] = static_cast<char>(variant[at] + 1 + random() % 255);
    const Played p = Play(variant);
    const bool same = p.check.outcome != ReplayCheck::Outcome::Unreadable &&
                      SameTrace(p.trace, played[g].trace);
    if (!same && p.check.outcome != ReplayCheck::Outcome::Ok) continue;
    const server::Answer answer = registerGame(variant, "VARIANT   ");
    const size_t now = live.storage().Top(1000000).size();
    if (same) {
      ++kept;
      ++keptIn[region];
      // The trace digest is equal by its making; the applied one may differ
      // where the change had no effect on the score (counted, not a fault).
      EXPECT_EQ(p.traced, played[g].traced);
      if (p.played != played[g].played) ++unequal;
      if (answer.verdict == server::Verdict::Failed) ++refused;
      EXPECT_EQ(answer.verdict, server::Verdict::Failed) << "game " << g << " byte " << at;
      EXPECT_EQ(now, stored) << "stored a copy: game " << g << " byte " << at;
    } else {
      ++other;
      if (answer.verdict == server::Verdict::Accepted) ++otherAccepted;
      EXPECT_EQ(answer.verdict, server::Verdict::Accepted)
          << answer.reason << ": game " << g << " byte " << at;
    }
    stored = now;
  }
  std::printf("variants %ld: same trace %ld (header %ld, plan %ld, input %ld), refused %ld, "
              "applied digest differs %ld; other trace and verified %ld, accepted %ld\n",
              count, kept, keptIn[0], keptIn[1], keptIn[2], refused, unequal, other,
              otherAccepted);
}

}  // namespace
}  // namespace quadrel::test
