#include "Registration.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "Storage.hpp"
#include "base/GamePorts.hpp"
#include "game/AppliedPlayback.hpp"
#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel::server {

bool IsDecimalInt32(std::string_view text, int32_t& value) {
  // Exactly what "%d" prints: an optional minus, no leading zeros.
  std::string_view digits = text;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10) return false;
  if (digits.size() > 1 && digits.front() == '0') return false;
  if (negative && digits == "0") return false;
  int64_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool IsDaytime(std::string_view text) {
  static constexpr char kShape[] = "0000/00/00 00:00:00";
  if (text.size() != sizeof kShape - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return false;
  }
  return true;
}

namespace {

Digest Sha256(std::string_view bytes) {
  Digest digest{};
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  return digest;
}

bool IsPrintableAscii(std::string_view text) {
  for (char c : text)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

const FormPart* FindOnce(const std::vector<FormPart>& parts, std::string_view name,
                         std::string& reason) {
  const FormPart* found = nullptr;
  for (const FormPart& part : parts) {
    if (part.name != name) continue;
    if (found) {
      reason = "field \"" + std::string(name) + "\" repeated";
      return nullptr;
    }
    found = &part;
  }
  if (!found) reason = "field \"" + std::string(name) + "\" missing";
  return found;
}

}  // namespace

FormCheck ReadRegistration(const std::vector<FormPart>& parts) {
  FormCheck out;
  Registration& r = out.registration;
  const FormPart* ver = FindOnce(parts, protocol::kFieldVersion, out.reason);
  if (!ver) return out;
  if (ver->data != std::to_string(kGameVersion)) {
    out.verdict = Verdict::BadVersion;
    out.reason = "version \"" + std::string(ver->data.substr(0, 16)) + "\"";
    return out;
  }
  const FormPart* cmd = FindOnce(parts, protocol::kFieldCommand, out.reason);
  const FormPart* name = cmd ? FindOnce(parts, protocol::kFieldName, out.reason) : nullptr;
  const FormPart* daytime = name ? FindOnce(parts, protocol::kFieldDaytime, out.reason) : nullptr;
  const FormPart* score = daytime ? FindOnce(parts, protocol::kFieldScore, out.reason) : nullptr;
  const FormPart* level = score ? FindOnce(parts, protocol::kFieldLevel, out.reason) : nullptr;
  const FormPart* fileName = level ? FindOnce(parts, protocol::kFieldFileName, out.reason) : nullptr;
  const FormPart* data = fileName ? FindOnce(parts, protocol::kFieldData, out.reason) : nullptr;
  if (!data) return out;
  if (cmd->data != protocol::kRegisterCommand) {
    out.reason = "cmd is not regist";
  } else if (name->data.size() != kNameLength || !IsPrintableAscii(name->data)) {
    out.reason = "name is not ten printable characters";
  } else if (!IsDaytime(daytime->data)) {
    out.reason = "daytime is not YYYY/MM/DD hh:mm:ss";
  } else if (!IsDecimalInt32(score->data, r.score)) {
    out.reason = "score is not decimal";
  } else if (!IsDecimalInt32(level->data, r.level) || r.level < 0 || r.level > kLevelCount) {
    out.reason = "level is not 0 to 5";
  } else if (fileName->data.empty() || fileName->data.size() > kMaxFileNameLength ||
             !IsPrintableAscii(fileName->data)) {
    out.reason = "filename is not 1 to 59 printable characters";
  } else {
    r.name.assign(name->data);
    r.daytime.assign(daytime->data);
    r.fileName.assign(fileName->data);
    r.replay.assign(data->data);
    out.verdict = Verdict::Accepted;
  }
  return out;
}

ReplayVerdict VerifyReplay(const Registration& registration, const ReplayLimits& limits) {
  ReplayVerdict out;
  const std::string& replay = registration.replay;
  const auto* bytes = reinterpret_cast<const uint8_t*>(replay.data());
  // The last recorded frame bounds the whole re-simulation, since the frames
  // must rise; a file claiming hours of play is refused before it is played.
  if (replay.size() >= kReplayHeaderArea + kInputFrameSize &&
      (replay.size() - kReplayHeaderArea) % kInputFrameSize == 0) {
    int32_t lastFrame = 0;
    std::memcpy(&lastFrame, bytes + replay.size() - kInputFrameSize + 4, sizeof lastFrame);
    if (lastFrame > limits.maxGameSteps) {
      out.reason = "replay claims " + std::to_string(lastFrame) + " steps";
      return out;
    }
  }
  // No bound on the steps between inputs: a player may rest on the game-over
  // screen as long as he likes. The rising frames and maxFrame bound the work.
  AppliedPlayback applied;
  std::vector<TracePoint> trace;
  CheckOptions options;
  options.applied = &applied;
  options.trace = &trace;
  options.maxStepsBetweenInputs = INT64_MAX;
  options.maxFrame = limits.maxGameSteps;
  options.stopAtGap = true;
  options.noInputAfterAllClear = true;
  const ReplayCheck check = CheckReplay(bytes, replay.size(), options);
  out.steps = check.steps;
  if (check.outcome != ReplayCheck::Outcome::Ok) {
    out.reason = FormatCheck("replay", check);
    return out;
  }
  out.played = PlayedDigest(applied.bytes);
  out.traced = TraceDigest(trace);
  // The check compared the header with the simulation; now the fields with the header.
  ReplayHeader header{};
  std::memcpy(&header, bytes + 20, sizeof header);
  const std::string date(header.date, strnlen(header.date, sizeof header.date));
  if (header.score != registration.score) {
    out.reason = "score field " + std::to_string(registration.score) + ", replay " +
                 std::to_string(header.score);
  } else if (header.level != registration.level) {
    out.reason = "level field " + std::to_string(registration.level) + ", replay " +
                 std::to_string(header.level);
  } else if (date != registration.daytime) {
    out.reason = "daytime field differs from the replay's date";
  } else {
    out.ok = true;
  }
  return out;
}

Digest GameDigest(std::string_view replay) {
  // What the simulation reads, in a fixed form: the item bytes of each level
  // up to the one reached, and per recorded step its frame, movement and
  // whether the button was down. Bytes the simulation ignores (unused plan
  // bytes, the reserved byte, the recorded score, steps without input) cannot
  // make the same game look new.
  std::string game;
  ReplayHeader header{};
  if (replay.size() >= kReplayHeaderArea) std::memcpy(&header, replay.data() + 20, sizeof header);
  const int reached = std::clamp(header.level, 0, kLevelCount - 1);
  for (int level = 0; level <= reached && replay.size() >= kReplayHeaderArea; ++level) {
    const std::string_view plan = replay.substr(kItemPlanOffset + kItemPlanBytesPerLevel * level,
                                                kItemPlanBytesPerLevel);
    game.append(plan.substr(0, static_cast<size_t>(level) + 5));
    game.append(plan.substr(15, 2));
  }
  for (size_t at = kReplayHeaderArea; at + kInputFrameSize <= replay.size(); at += kInputFrameSize) {
    InputFrame frame{};
    std::memcpy(&frame, replay.data() + at, sizeof frame);
    const bool down = IsDown(frame.button);  // any non-zero byte is a press to the game
    if (frame.dx == 0 && !down) continue;
    char step[7];
    std::memcpy(step, &frame.frame, 4);
    std::memcpy(step + 4, &frame.dx, 2);
    step[6] = down ? 1 : 0;
    game.append(step, sizeof step);
  }
  return Sha256(game);
}

Digest PlayedDigest(std::string_view applied) { return Sha256(applied); }

Digest TraceDigest(const std::vector<TracePoint>& trace) {
  std::string bytes;
  bytes.reserve(trace.size() * 8);
  for (const TracePoint& point : trace) {
    for (const int32_t value : {point.frame, point.score})
      for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xff);
  }
  return Sha256(bytes);
}

RegistrationResult RegisterGame(RankingStorage& storage, const Registration& r,
                                const ReplayLimits& limits, int top, const VerifierGate& gate) {
  RegistrationResult out;
  auto refuse = [&](Verdict verdict, std::string reason, int status = 200) {
    out.verdict = verdict;
    out.reason = std::move(reason);
    out.status = status;
    return out;
  };
  GameDigests digests;
  digests.file = GameDigest(r.replay);
  ReplayVerdict replay;
  try {
    if (storage.Known(digests.file)) return refuse(Verdict::Failed, "game registered before");
    if (!gate([&] { replay = VerifyReplay(r, limits); }))
      return refuse(Verdict::Failed, "every verifier busy", 503);
    if (!replay.ok) return refuse(Verdict::Failed, replay.reason);
    digests.played = replay.played;
    digests.traced = replay.traced;
    if (storage.Known(digests.played) || storage.Known(digests.traced))
      return refuse(Verdict::Failed, "game registered before (plays as a known game)");
    switch (storage.Register(r, digests, top, &out.id)) {
      case StoreResult::Duplicate: return refuse(Verdict::Failed, "game registered before");
      case StoreResult::OutOfRank:
        return refuse(Verdict::OutOfRank, "score " + std::to_string(r.score) + " out of rank");
      case StoreResult::Stored: break;
    }
  } catch (const StorageError& e) {
    return refuse(Verdict::Failed, e.what(), 500);
  }
  out.verdict = Verdict::Accepted;
  out.reason = "accepted id " + std::to_string(out.id) + " score " + std::to_string(r.score);
  return out;
}

}  // namespace quadrel::server
