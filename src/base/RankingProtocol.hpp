// What the game and the ranking server agree on: where a registration goes,
// the form it travels in, and the verdict that ends the reply.
#pragma once

#include <cstdint>

namespace quadrel::protocol {

constexpr char kRankingPath[] = "/quadrel/ranking/ranking.cgi";

// The form's fields, sent and read in this order.
constexpr char kFieldCommand[] = "cmd";
constexpr char kFieldVersion[] = "ver";
constexpr char kFieldName[] = "name";
constexpr char kFieldDaytime[] = "daytime";
constexpr char kFieldScore[] = "score";
constexpr char kFieldLevel[] = "level";
constexpr char kFieldFileName[] = "filename";
constexpr char kFieldData[] = "data";

constexpr char kRegisterCommand[] = "regist";

// Separates the parts of the game's form bodies; never compared with the data.
constexpr char kFormBoundary[] = "0123456789ABCD";
constexpr char kFormContentType[] = "multipart/form-data; boundary=\"0123456789ABCD\"";

// The answers the game understands, written as the last characters of the reply.
enum class Verdict : int32_t { Accepted = 0, Failed = -1, OutOfRank = -2, BadVersion = -3 };

constexpr const char* VerdictToken(Verdict verdict) {
  switch (verdict) {
    case Verdict::Accepted: return "OK";
    case Verdict::Failed: return "-1";
    case Verdict::OutOfRank: return "-2";
    case Verdict::BadVersion: return "-3";
  }
  return "-1";
}

}  // namespace quadrel::protocol
