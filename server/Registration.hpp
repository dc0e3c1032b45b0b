// What a registration carries and the rules it must pass before it is stored:
// the form of every field, then the re-simulation of its replay. The server
// believes only the replay; the fields must agree with it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Multipart.hpp"
#include "base/RankingProtocol.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel::server {

using protocol::Verdict;
using protocol::VerdictToken;

constexpr int32_t kGameVersion = 20050511;
constexpr size_t kNameLength = 10;
constexpr size_t kMaxFileNameLength = 59;  // the game keeps the name in 60 bytes

struct Registration {
  std::string name;      // ten printable ASCII characters
  std::string daytime;   // "YYYY/MM/DD hh:mm:ss"
  int32_t score = 0;
  int32_t level = 0;
  std::string fileName;  // as the client named it; never used as a path
  std::string replay;    // the replay bytes
};

struct FormCheck {
  Verdict verdict = Verdict::Failed;  // Accepted here means: well formed
  std::string reason;                 // for the log when not
  Registration registration;
};

// Reads the eight fields. Version first: a client of another version gets -3
// whatever else it sent.
FormCheck ReadRegistration(const std::vector<FormPart>& parts);

using Digest = std::array<uint8_t, 32>;

struct ReplayLimits {
  // The highest frame number a recorded input may carry (three hours of play).
  // Frames must rise, so with the all-clear tail this bounds the whole
  // re-simulation: at most maxGameSteps + 1 + kAllClearStepLimit steps.
  int64_t maxGameSteps = 648000;
};

struct ReplayVerdict {
  bool ok = false;
  std::string reason;
  int64_t steps = 0;
  Digest played{};  // PlayedDigest of the re-simulation, when ok
  Digest traced{};  // TraceDigest of the re-simulation, when ok
};

// Re-simulates the replay (up to the first recorded score it misses) and
// compares its end and header with the fields.
ReplayVerdict VerifyReplay(const Registration& registration, const ReplayLimits& limits);

// The cheap one: identifies the game a replay records by reading its item
// placement and input bytes, without playing it. The header is left out: its
// date is the one part a player could change without playing again.
Digest GameDigest(std::string_view replay);

// The sure ones, from the re-simulation. PlayedDigest: SHA-256 of what it
// applied (AppliedPlayback); bytes it ignores, and input records that apply
// nothing, leave it equal. TraceDigest: SHA-256 of the frame and score of
// every applied record; input that changes nothing the score shows (a press
// with every ball in play, an item placed in a block never broken, a move
// the wall absorbs) leaves it equal. A game matching either is a copy.
Digest PlayedDigest(std::string_view applied);
Digest TraceDigest(const std::vector<quadrel::TracePoint>& trace);

class RankingStorage;

struct RegistrationResult {
  Verdict verdict = Verdict::Failed;
  int status = 200;  // 500 when the database failed, 503 when no verifier came free
  std::string reason;
  int64_t id = 0;
};

// Runs work holding a verifier; false when none came free in time.
using VerifierGate = std::function<bool(const std::function<void()>& work)>;

// A well-formed registration from copy check to stored row. A game known by
// its bytes is refused before any CPU is spent on it; then the replay is
// re-simulated, and a game that plays as a known one is refused as well.
RegistrationResult RegisterGame(RankingStorage& storage, const Registration& registration,
                                const ReplayLimits& limits, int top, const VerifierGate& gate);

// Small checks shared with the tests.
bool IsDecimalInt32(std::string_view text, int32_t& value);
bool IsDaytime(std::string_view text);

}  // namespace quadrel::server
