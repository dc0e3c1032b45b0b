// What the game scene writes on the screen each drawn frame: the head-up
// display, the phase banners with their slides and fades, the all-clear
// count-up, and the notices drawn over the fade.
#pragma once

#include <array>
#include <cstdint>

#include "game/GameState.hpp"

namespace quadrel {

enum class HudFont : uint8_t { Small, Big };

// Text placement flags, with the values the font service takes.
namespace textFormat {
constexpr uint32_t Left = 0x0;
constexpr uint32_t Center = 0x1;
constexpr uint32_t Right = 0x2;
constexpr uint32_t VCenter = 0x4;
}  // namespace textFormat

constexpr uint32_t kTextShadowColour = 0xFF323232;
constexpr int32_t kTextShadowOffset = 3;
constexpr int32_t kBonusTransferStep = 12346;

struct HudText {
  HudFont font;
  char text[40];
  int32_t x, y;
  uint32_t format;
  uint32_t colour;
  bool shadow;
  uint32_t shadowColour;
};

// A fixed list: nothing is allocated per frame.
struct HudLayout {
  std::array<HudText, 24> texts;
  int count = 0;
  HudText& Add(HudFont font, int32_t x, int32_t y, uint32_t format, uint32_t colour);
  HudText& AddShadowed(HudFont font, int32_t x, int32_t y, uint32_t format, uint32_t colour,
                       uint32_t shadowColour = kTextShadowColour);
};

// What the picture keeps between drawn frames; the rules never read it. The
// game scene starts it afresh on every entry.
struct HudState {
  int32_t replayBlink = 0;  // the "Replay Mode" pulse
  // The all-clear presentation: its stages bit by bit, when the last began,
  // its opacity and what is left of each bonus.
  int32_t stage = 0;
  uint32_t stageStart = 0;
  int32_t alpha = 0;
  int32_t levelBonusLeft = 0;
  int32_t ballBonusLeft = 0;
  int32_t moved = 0;  // bonus counted into the shown score so far
  // Everything has been counted up: a click may leave.
  bool CountUpDone() const { return stage > 128; }
};

// The texts under the fade: score, level, juggling count (shaken with two
// values of the picture's random stream), balls left, "O o p s !", "Replay
// Mode" and the phase banner. Advances the "Replay Mode" pulse and the
// all-clear presentation, which counts the bonuses into the shown score on
// the millisecond clock nowMs.
void LayoutHud(const GameState& g, HudState& hud, Random& pictureRandom, uint32_t nowMs,
               HudLayout& out);
// The texts over the fade: the FPS meter and "Replay Gapped!".
void LayoutOverlay(const GameState& g, double fps, HudLayout& out);

// Slide offsets of the banners for a banner opacity a (0..255).
int32_t LevelBannerOffset(int32_t a);     // 150 down to 0
int32_t GameOverBannerDrop(int32_t a);    // 50 down to 0
int32_t AllClearHeadingOffset(int32_t a); // 100 down to 0
// Juggling count shake for count v and a random value r.
inline int32_t JugglingShake(int32_t v, int r) { return (r % (v + 1) - v / 2) / 2; }

// Drawing rules of the 3-D pass.
inline bool BlockBlended(const Block& b) { return b.z > 50.0; }
inline bool BarShown(const Bar& b) { return b.lifetime > 180 || b.lifetime % 2 == 0; }
// An item widens and flattens as it shrinks after the catch.
inline double ItemWidthScale(const Item& item) { return 1.0 - (item.scale - 1.0) * 4.0; }

}  // namespace quadrel
