#include "Sounds.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>

#include "AudioFiles.hpp"

namespace quadrel::assetgen {

namespace {

constexpr double kRate = kSampleRate;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr size_t kSixteenth = 5250;  // 126 beats a minute, a whole number of samples
constexpr size_t kBar = 16 * kSixteenth;

double MidiHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

class WhiteNoise {
 public:
  explicit WhiteNoise(uint32_t seed) : state_(seed | 1) {}
  float Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) * (2.0f / 16777216.0f) - 1.0f;
  }

 private:
  uint32_t state_;
};

// One-pole low-pass.
struct OnePole {
  double a, y = 0;
  explicit OnePole(double cutoff) : a(1 - std::exp(-kTwoPi * cutoff / kRate)) {}
  double Low(double x) { return y += a * (x - y); }
  double High(double x) { return x - Low(x); }
};

// Two-pole state-variable low-pass (trapezoidal), for the lead's sweep.
struct StateVariable {
  double ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0;
  void Set(double cutoff, double q) {
    const double g = std::tan(std::numbers::pi * std::min(cutoff, kRate * 0.45) / kRate), k = 1 / q;
    a1 = 1 / (1 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  double Low(double v0) {
    const double v3 = v0 - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    return v2;
  }
};

// Smooths the step of a naive saw or square so it does not alias.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

double Saw(double phase, double dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }
double Square(double phase, double dt) {
  return (phase < 0.5 ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(std::fmod(phase + 0.5, 1.0), dt);
}

// Attack, decay to sustain while the gate is open, then release.
double Adsr(double t, double gate, double attack, double decay, double sustain, double release) {
  auto held = [&](double u) {
    return u < attack ? u / attack : sustain + (1 - sustain) * std::exp(-(u - attack) / decay);
  };
  return t < gate ? held(t) : held(gate) * std::exp(-(t - gate) / release);
}

struct Bus {
  std::vector<float> left, right, send;  // send feeds the echo
  explicit Bus(size_t length) : left(length), right(length), send(length) {}
  void Add(size_t i, double v, double pan, double sendLevel = 0) {
    if (i >= left.size()) return;
    left[i] += static_cast<float>(v * std::min(1.0, 1 - pan));
    right[i] += static_cast<float>(v * std::min(1.0, 1 + pan));
    send[i] += static_cast<float>(v * sendLevel);
  }
};

// ---- Instruments -----------------------------------------------------------

void Lead(Bus& bus, size_t at, double gate, double note, double velocity) {
  const double f0 = MidiHz(note);
  const size_t n = static_cast<size_t>((gate + 0.4) * kRate);
  double p1 = 0, p2 = 0.37;
  StateVariable filter;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double vibrato = t > 0.2 ? 0.10 * std::sin(kTwoPi * 5.2 * (t - 0.2)) * std::min(1.0, (t - 0.2) / 0.25) : 0;
    const double f = f0 * std::pow(2.0, vibrato / 12);
    const double dt1 = f / kRate, dt2 = f * 1.004 / kRate;
    const double osc = 0.45 * Saw(p1, dt1) + 0.35 * Square(p1, dt1) + 0.3 * Saw(p2, dt2);
    p1 += dt1, p2 += dt2;
    p1 -= std::floor(p1), p2 -= std::floor(p2);
    if (i % 32 == 0) filter.Set(1700 + 3200 * std::exp(-t / 0.10), 0.9);
    const double v = filter.Low(osc) * Adsr(t, gate, 0.008, 0.18, 0.7, 0.08);
    bus.Add(at + i, 0.42 * velocity * v, 0.0, 0.45);
  }
}

// A plucked bell-like tone (two-operator FM) for the arpeggios.
void Pluck(Bus& bus, size_t at, double note, double velocity, double pan) {
  const double f = MidiHz(note);
  const size_t n = static_cast<size_t>(0.7 * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double env = t < 0.003 ? t / 0.003 : std::exp(-(t - 0.003) / 0.17);
    const double index = 0.25 + 1.5 * std::exp(-t / 0.06);
    const double v = std::sin(kTwoPi * f * t + index * std::sin(kTwoPi * f * t)) * env;
    bus.Add(at + i, 0.12 * velocity * v, pan, 0.30);
  }
}

// Soft detuned saws behind everything.
void Pad(Bus& bus, size_t at, double gate, double note) {
  const size_t n = static_cast<size_t>((gate + 0.5) * kRate);
  for (int voice = 0; voice < 2; ++voice) {
    const double f = MidiHz(note + (voice ? 0.07 : -0.07));
    const double pan = voice ? 0.6 : -0.6;
    double phase = voice * 0.5;
    OnePole lp1(1000), lp2(1400);
    for (size_t i = 0; i < n; ++i) {
      const double t = i / kRate;
      const double dt = f / kRate;
      const double v = lp2.Low(lp1.Low(Saw(phase, dt)));
      phase += dt;
      phase -= std::floor(phase);
      const double env = (t < 0.25 ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / 0.25) : 1.0) *
                         (t < gate ? 1.0 : std::exp(-(t - gate) / 0.12));
      bus.Add(at + i, 0.045 * v * env, pan);
    }
  }
}

void Bass(Bus& bus, size_t at, double gate, double note) {
  const double f = MidiHz(note);
  const size_t n = static_cast<size_t>((gate + 0.2) * kRate);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double raw = std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase);
    phase += kTwoPi * f / kRate;
    const double v = std::tanh(1.5 * raw) / std::tanh(1.5);
    bus.Add(at + i, 0.15 * v * Adsr(t, gate, 0.004, 0.12, 0.65, 0.035), 0.0);
  }
}

void Kick(Bus& bus, size_t at, double velocity) {
  WhiteNoise noise(5);
  const size_t n = static_cast<size_t>(0.45 * kRate);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    phase += kTwoPi * (46 + 120 * std::exp(-t / 0.028)) / kRate;
    const double body = std::sin(phase) * std::exp(-t / 0.24) * std::min(1.0, t / 0.0015);
    const double click = noise.Next() * std::exp(-t / 0.0025) * 0.25;
    bus.Add(at + i, 0.50 * velocity * (body + click), 0.0);
  }
}

void Snare(Bus& bus, size_t at, double velocity) {
  WhiteNoise noise(9);
  OnePole high(900), low(7500);
  const size_t n = static_cast<size_t>(0.35 * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double rattle = low.Low(high.High(noise.Next())) * std::exp(-t / 0.10);
    const double tone = std::sin(kTwoPi * 188 * t) * std::exp(-t / 0.04) * 0.6;
    bus.Add(at + i, 0.47 * velocity * (rattle + tone) * std::min(1.0, t / 0.001), 0.08, 0.05);
  }
}

void HiHat(Bus& bus, size_t at, double velocity, bool open) {
  WhiteNoise noise(open ? 17 : 13);
  OnePole h1(6500), h2(6500);
  const double decay = open ? 0.16 : 0.028;
  const size_t n = static_cast<size_t>((open ? 0.5 : 0.12) * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double v = h2.High(h1.High(noise.Next())) * std::exp(-t / decay);
    bus.Add(at + i, 0.40 * velocity * v, -0.25);
  }
}

void Crash(Bus& bus, size_t at) {
  WhiteNoise noise(21);
  OnePole h1(3500), lp(11000);
  const size_t n = static_cast<size_t>(2.4 * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double v = lp.Low(h1.High(noise.Next())) * std::exp(-t / 0.75) * std::min(1.0, t / 0.003);
    bus.Add(at + i, 0.16 * v, 0.3);
  }
}

// ---- The tune --------------------------------------------------------------

struct Chord {
  int bass;                // root, octave 2
  std::vector<int> tones;  // close voicing around middle C
};

enum class Drums { Groove, Fill, Lift };

struct BarPlan {
  const Chord* chord;
  const char* melody;  // "E5:3 D5:1 -:2": note and length in sixteenths, "-" a rest
  Drums drums;
  bool crash;
};

const Chord kC{36, {60, 64, 67}}, kG{43, {59, 62, 67}}, kAm{45, {57, 60, 64}}, kEm{40, {59, 64, 67}},
    kF{41, {57, 60, 65}}, kDm7{38, {57, 60, 62, 65}};

// Sixteen bars: a theme over C G Am Em F C F G, then a higher answer that turns
// back through Dm7 and G into the first bar again.
const std::vector<BarPlan> kLoopBars = {
    {&kC, "E5:3 D5:1 E5:2 G5:2 C6:4 B5:2 G5:2", Drums::Groove, true},
    {&kG, "D5:3 C5:1 D5:2 G5:2 B5:6 -:2", Drums::Groove, false},
    {&kAm, "C6:3 B5:1 A5:2 E5:2 A5:4 G5:2 E5:2", Drums::Groove, false},
    {&kEm, "G5:4 E5:2 D5:2 E5:8", Drums::Groove, false},
    {&kF, "F5:3 E5:1 F5:2 A5:2 C6:4 A5:2 F5:2", Drums::Groove, false},
    {&kC, "E5:3 D5:1 E5:2 G5:2 C6:6 -:2", Drums::Groove, false},
    {&kF, "A5:2 C6:2 A5:2 F5:2 G5:2 A5:2 F5:2 D5:2", Drums::Groove, false},
    {&kG, "G5:4 F5:2 D5:2 B4:2 D5:2 G5:4", Drums::Fill, false},
    {&kAm, "A5:6 B5:2 C6:4 E6:4", Drums::Groove, true},
    {&kF, "D6:4 C6:2 A5:2 C6:8", Drums::Groove, false},
    {&kC, "G5:6 A5:2 G5:2 E5:2 C5:4", Drums::Groove, false},
    {&kG, "D5:4 G5:4 B5:4 D6:4", Drums::Groove, false},
    {&kAm, "E6:6 D6:2 C6:4 B5:2 A5:2", Drums::Groove, false},
    {&kF, "C6:6 A5:2 F5:4 A5:4", Drums::Groove, false},
    {&kDm7, "F5:4 A5:2 C6:2 D6:4 C6:2 A5:2", Drums::Groove, false},
    {&kG, "B5:4 G5:2 D5:2 -:2 G5:2 F5:2 D5:2", Drums::Fill, false},
};

// The intro's second bar is the loop's last, so the intro runs into the loop
// exactly as the loop runs into itself.
const std::vector<BarPlan> kIntroBars = {{&kDm7, "", Drums::Lift, false}, kLoopBars.back()};

int ParseNote(const std::string& name) {
  static const int kSemitone[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') throw std::logic_error("bad note " + name);
  int note = kSemitone[name[0] - 'A'];
  size_t pos = 1;
  if (name[pos] == '#') ++note, ++pos;
  return note + 12 * (std::stoi(name.substr(pos)) + 1);
}

void RenderBar(Bus& bus, const BarPlan& bar, size_t start) {
  const Chord& chord = *bar.chord;
  // Melody.
  size_t step = 0;
  for (size_t pos = 0; bar.melody[pos];) {
    std::string token;
    while (bar.melody[pos] && bar.melody[pos] != ' ') token += bar.melody[pos++];
    while (bar.melody[pos] == ' ') ++pos;
    const size_t colon = token.find(':');
    const size_t length = std::stoul(token.substr(colon + 1));
    if (token[0] != '-') {
      Lead(bus, start + step * kSixteenth, (length * kSixteenth - 600) / kRate, ParseNote(token.substr(0, colon)),
           step % 4 == 0 ? 1.0 : 0.85);
    }
    step += length;
  }
  if (step != 0 && step != 16) throw std::logic_error("a melody bar that is not sixteen steps long");
  // Pad and arpeggio.
  for (int tone : chord.tones) Pad(bus, start, kBar / kRate, tone);
  std::vector<int> arp;
  for (int tone : chord.tones) arp.push_back(tone + 12);
  arp.push_back(chord.tones.front() + 24);
  static const int kOrder[] = {0, 1, 2, 3, 2, 1};
  for (size_t s = 0; s < 16; ++s) {
    const int index = std::min<int>(kOrder[s % 6], static_cast<int>(arp.size()) - 1);
    Pluck(bus, start + s * kSixteenth, arp[index], s % 4 == 0 ? 1.0 : 0.65, s % 2 ? 0.45 : -0.45);
  }
  // Bass: root, root, octave, root, fifth, fifth, octave, root.
  static const int kBassStep[] = {0, 3, 4, 6, 8, 11, 12, 14, 16};
  static const int kBassNote[] = {0, 0, 12, 0, 7, 7, 12, 0};
  for (int i = 0; i < 8; ++i) {
    const size_t length = (kBassStep[i + 1] - kBassStep[i]) * kSixteenth;
    Bass(bus, start + kBassStep[i] * kSixteenth, (length - 500) / kRate, chord.bass + kBassNote[i]);
  }
  // Drums.
  auto at = [&](int s) { return start + s * kSixteenth; };
  if (bar.crash) Crash(bus, start);
  switch (bar.drums) {
    case Drums::Groove:
      for (int s : {0, 8, 10}) Kick(bus, at(s), s == 10 ? 0.8 : 1.0);
      for (int s : {4, 12}) Snare(bus, at(s), 1.0);
      for (int s = 0; s < 16; ++s) {
        if (s == 14) HiHat(bus, at(s), 0.9, true);
        else HiHat(bus, at(s), s % 4 == 2 ? 1.0 : s % 2 == 0 ? 0.6 : 0.3, false);
      }
      break;
    case Drums::Fill:
      for (int s : {0, 8}) Kick(bus, at(s), 1.0);
      Snare(bus, at(4), 1.0);
      for (int s : {10, 12, 13, 14, 15}) Snare(bus, at(s), 0.45 + 0.04 * s - 0.35 * (s == 10));
      for (int s = 0; s < 10; s += 2) HiHat(bus, at(s), s % 4 == 2 ? 1.0 : 0.6, false);
      break;
    case Drums::Lift:
      for (int s : {0, 4, 8, 12}) Kick(bus, at(s), 0.9);
      for (int s : {2, 6, 10, 14}) HiHat(bus, at(s), 0.9, false);
      for (int s : {13, 14, 15}) Snare(bus, at(s), 0.3 + 0.15 * (s - 13));
      break;
  }
}

// Ping-pong echo a dotted eighth long, darkened on each repeat.
void Echo(Bus& bus) {
  const size_t delay = 3 * kSixteenth, n = bus.left.size();
  std::vector<float> echoLeft(n), echoRight(n);
  OnePole damp(3500);
  for (size_t i = delay; i < n; ++i) {
    echoLeft[i] = static_cast<float>(damp.Low(bus.send[i - delay] + 0.38 * echoRight[i - delay]));
    echoRight[i] = 0.38f * echoLeft[i - delay];
  }
  for (size_t i = 0; i < n; ++i) {
    bus.left[i] += 0.5f * echoLeft[i];
    bus.right[i] += 0.5f * echoRight[i];
  }
}

Stereo Render(const std::vector<BarPlan>& bars, size_t from, size_t to) {
  Bus bus(to);
  for (size_t i = 0; i < bars.size(); ++i) RenderBar(bus, bars[i], i * kBar);
  Echo(bus);
  Stereo out;
  out.left.assign(bus.left.begin() + static_cast<long>(from), bus.left.begin() + static_cast<long>(to));
  out.right.assign(bus.right.begin() + static_cast<long>(from), bus.right.begin() + static_cast<long>(to));
  return out;
}

float Peak(const Stereo& s) {
  float peak = 0;
  for (float v : s.left) peak = std::max(peak, std::fabs(v));
  for (float v : s.right) peak = std::max(peak, std::fabs(v));
  return peak;
}

void Scale(std::vector<float>& samples, float gain) {
  for (float& v : samples) v *= gain;
}

// Effects peak at -3 dB: loud, with room for the mixer.
std::vector<float> Normalised(std::vector<float> samples) {
  float peak = 0;
  for (float v : samples) peak = std::max(peak, std::fabs(v));
  Scale(samples, 0.707f / peak);
  return samples;
}

}  // namespace

std::vector<float> BarEffect() {
  const size_t n = static_cast<size_t>(0.22 * kRate);
  std::vector<float> out(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double f = 330 + 260 * std::exp(-t / 0.025);  // a quick drop in pitch: rubbery
    phase += kTwoPi * f / kRate;
    const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.055);
    const double v = std::sin(phase) + 0.25 * std::sin(2 * phase) + 0.5 * std::sin(0.5 * phase) * std::exp(-t / 0.03);
    out[i] = static_cast<float>(v * env);
  }
  return Normalised(out);
}

std::vector<float> BlockEffect() {
  const size_t n = static_cast<size_t>(0.16 * kRate);
  std::vector<float> out(n);
  WhiteNoise noise(77);
  OnePole high(3000);
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kRate;
    const double env = std::min(1.0, t / 0.0008);
    const double bell = std::sin(kTwoPi * 1568 * t) * std::exp(-t / 0.045) +
                        0.5 * std::sin(kTwoPi * 2352 * t) * std::exp(-t / 0.03) +
                        0.25 * std::sin(kTwoPi * 4873 * t) * std::exp(-t / 0.012);
    const double click = high.High(noise.Next()) * std::exp(-t / 0.003);
    out[i] = static_cast<float>(env * (bell + 0.6 * click));
  }
  return Normalised(out);
}

Music ComposeMusic() {
  const size_t loopLength = kLoopBars.size() * kBar;
  std::vector<BarPlan> twice = kLoopBars;
  twice.insert(twice.end(), kLoopBars.begin(), kLoopBars.end());
  Music music;
  // Rendered twice in a row and the second pass kept: its start carries the
  // ringing-out of its own end, so the loop joins itself without a seam. The
  // file starts half a sixteenth before the first bar, between note onsets,
  // and the intro ends at the same place, so neither join falls on a drum hit.
  const size_t lead = kSixteenth / 2;
  music.loop = Render(twice, loopLength - lead, 2 * loopLength - lead);
  music.intro = Render(kIntroBars, 0, kIntroBars.size() * kBar - lead);
  const float gain = 0.8f / std::max(Peak(music.loop), Peak(music.intro));
  for (Stereo* s : {&music.loop, &music.intro}) {
    Scale(s->left, gain);
    Scale(s->right, gain);
  }
  return music;
}

}  // namespace quadrel::assetgen
