// What a registration carries and the rules it must pass before it is stored:
// the form of every field, then the re-simulation of its replay. The server
// believes only the replay; the fields must agree with it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Multipart.hpp"

namespace quadrel::server {

// The answers the game understands: the last two characters of the reply.
enum class Verdict { Accepted, Failed, OutOfRank, BadVersion };
// "OK" for Accepted, else "-1", "-2", "-3".
const char* VerdictToken(Verdict verdict);

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

struct ReplayLimits {
  // Steps the re-simulation may run without reaching the next recorded input
  // (five minutes of play at 60 Hz without touching the mouse).
  int64_t maxStepsBetweenInputs = 18000;
  // The highest frame number a recorded input may carry (three hours of play).
  int64_t maxGameSteps = 648000;
};

struct ReplayVerdict {
  bool ok = false;
  std::string reason;
  int64_t steps = 0;
};

// Re-simulates the replay and compares its end and header with the fields.
ReplayVerdict VerifyReplay(const Registration& registration, const ReplayLimits& limits);

// Identifies the game a replay records: its item placement and input. The
// header is left out: its date is the one part a player could change without
// playing again, and the same game under another date is the same game.
std::array<uint8_t, 32> GameDigest(std::string_view replay);

// Small checks shared with the tests.
bool IsDecimalInt32(std::string_view text, int32_t& value);
bool IsDaytime(std::string_view text);

}  // namespace quadrel::server
