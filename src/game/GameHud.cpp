#include "game/GameHud.hpp"

#include <cstdio>
#include <cstdlib>

#include "game/GameMain.hpp"

namespace quadrel {
namespace {

constexpr uint32_t kYellow = 0xFFFFFF00;

uint32_t WithAlpha(int32_t a, uint32_t rgb) { return (static_cast<uint32_t>(a) << 24) | rgb; }

int32_t Slide(int32_t a, double factor) {
  const int32_t d = 255 - a;
  return static_cast<int32_t>(static_cast<double>(d * d) * factor);
}

void LevelBanner(const GameState& g, const GameVars& v, HudLayout& out) {
  const int32_t a = v.bannerAlpha;
  int32_t off = LevelBannerOffset(a);
  if (v.bannerDirection == 1) off = -off;
  const int32_t x = 320 + off;
  std::snprintf(out.AddShadowed(HudFont::Big, x, 220, textFormat::Center, WithAlpha(a, 0x0096FF64),
                                WithAlpha(a, 0x00323232))
                    .text,
                sizeof(HudText::text), "L E V E L  %1d", g.level + 1);
  if (g.level != 0) {
    std::snprintf(out.Add(HudFont::Small, x, 260, textFormat::Center, WithAlpha(a, 0x00FFFF00)).text,
                  sizeof(HudText::text), "JUGGLING BONUS %7d", v.levelClearBonus);
  }
}

void GameOverBanner(const GameVars& v, HudLayout& out) {
  const int32_t a = v.bannerAlpha;
  const int32_t dy = GameOverBannerDrop(a);
  std::snprintf(out.AddShadowed(HudFont::Big, 320, 220 - dy, textFormat::Center, WithAlpha(a, 0x009664FF),
                                WithAlpha(a, 0x00323232))
                    .text,
                sizeof(HudText::text), "G A M E   O V E R");
  std::snprintf(out.Add(HudFont::Small, 320, 260 - dy, textFormat::Center, WithAlpha(a, 0x00FFFF00)).text,
                sizeof(HudText::text), "[ Click to move ]");
}

// Moves one portion of a bonus into the shown score; true when it is used up.
bool TransferBonus(HudState& hud, int32_t& bonus) {
  if (bonus >= kBonusTransferStep) {
    hud.moved = WrappingAdd(hud.moved, kBonusTransferStep);
    bonus -= kBonusTransferStep;
    return false;
  }
  hud.moved = WrappingAdd(hud.moved, bonus);
  bonus = 0;
  return true;
}

void AllClearPresentation(const GameState& g, HudState& hud, uint32_t now, HudLayout& out) {
  int32_t& stage = hud.stage;
  if (stage == 0) {
    hud.stageStart = 0;
    hud.alpha = g.vars.bannerAlpha;
    hud.levelBonusLeft = g.vars.levelClearBonus;
    hud.ballBonusLeft = g.vars.ballBonus;
    stage = 1;
  }
  hud.alpha = hud.alpha + 2 > 255 ? 255 : hud.alpha + 2;
  // Times compare as unsigned 32-bit numbers.
  auto after = [&](uint32_t ms) { return now > hud.stageStart + ms; };

  if (stage & 1) {
    const int32_t a = stage > 1 ? 255 : hud.alpha;
    const int32_t off = AllClearHeadingOffset(a);
    std::snprintf(out.AddShadowed(HudFont::Big, 320 - off, 80, textFormat::Center,
                                  WithAlpha(a, 0x00FFDCC8), WithAlpha(a, 0x00323232))
                      .text,
                  sizeof(HudText::text), "CONGRATULATIONS !");
    std::snprintf(out.AddShadowed(HudFont::Big, 320 + off, 120, textFormat::Center,
                                  WithAlpha(a, 0x00FFDCC8), WithAlpha(a, 0x00323232))
                      .text,
                  sizeof(HudText::text), "ALL LEVEL OVER");
    if (a == 255 && stage < 2) {
      stage += 2;
      hud.stageStart = now;
    }
  }
  if (stage & 2) {
    std::snprintf(out.Add(HudFont::Small, 320, 180, textFormat::Center, kYellow).text,
                  sizeof(HudText::text), "CLEAR BONUS");
    if (after(600) && stage < 4) stage += 4;
  }
  if (stage & 4) {
    std::snprintf(out.Add(HudFont::Small, 355, 200, textFormat::Right, kYellow).text,
                  sizeof(HudText::text), "%8d", hud.levelBonusLeft);
    if (after(1200) && stage < 8 && TransferBonus(hud, hud.levelBonusLeft)) {
      stage += 8;
      hud.stageStart = now;
    }
  }
  if (stage & 8) {
    if (after(600) && stage < 16) stage += 16;
  }
  if (stage & 16) {
    std::snprintf(out.Add(HudFont::Small, 320, 240, textFormat::Center, kYellow).text,
                  sizeof(HudText::text), "BALL BONUS");
    if (after(1200) && stage < 32) stage += 32;
  }
  if (stage & 32) {
    std::snprintf(out.Add(HudFont::Small, 355, 260, textFormat::Right, kYellow).text,
                  sizeof(HudText::text), "%8d", hud.ballBonusLeft);
    if (after(1800) && stage < 64 && TransferBonus(hud, hud.ballBonusLeft)) {
      stage += 64;
      hud.stageStart = now;
    }
  }
  if (stage & 64) {
    if (after(600) && stage < 128) {
      stage += 128;
      hud.alpha = 0;
    }
  }
  if (stage & 128) {
    const int32_t a = hud.alpha;
    std::snprintf(out.Add(HudFont::Small, 320, 300 + GameOverBannerDrop(a), textFormat::Center,
                          WithAlpha(a, 0x00FFFF00))
                      .text,
                  sizeof(HudText::text), "[ Click to move ]");
  }
}

}  // namespace

HudText& HudLayout::Add(HudFont font, int32_t x, int32_t y, uint32_t format, uint32_t colour) {
  // The layouts above never hold more than the array; the last slot absorbs any excess.
  HudText& t = texts[count < static_cast<int>(texts.size()) ? count++ : texts.size() - 1];
  t = HudText{};
  t.font = font;
  t.x = x;
  t.y = y;
  t.format = format;
  t.colour = colour;
  return t;
}

HudText& HudLayout::AddShadowed(HudFont font, int32_t x, int32_t y, uint32_t format, uint32_t colour,
                                uint32_t shadowColour) {
  HudText& t = Add(font, x, y, format, colour);
  t.shadow = true;
  t.shadowColour = shadowColour;
  return t;
}

int32_t LevelBannerOffset(int32_t a) { return Slide(a, 0.002306805074971165); }
int32_t GameOverBannerDrop(int32_t a) { return Slide(a, 0.0007689350249903883); }
int32_t AllClearHeadingOffset(int32_t a) { return Slide(a, 0.0015378700499807767); }

void LayoutHud(const GameState& g, HudState& hud, Random& pictureRandom, uint32_t nowMs,
               HudLayout& out) {
  constexpr int n = sizeof(HudText::text);
  std::snprintf(out.AddShadowed(HudFont::Big, 0, 0, textFormat::Left, 0xFF0096FF).text, n, "%08d",
                WrappingAdd(g.score, hud.moved));
  std::snprintf(out.Add(HudFont::Small, 580, 0, textFormat::Center, kYellow).text, n, "LEVEL");
  std::snprintf(out.AddShadowed(HudFont::Big, 580, 20, textFormat::Center, 0xFF96FF64).text, n, "%1d",
                g.level + 1);
  std::snprintf(out.Add(HudFont::Small, 580, 60, textFormat::Center, kYellow).text, n, "JUGGLING");
  const int32_t inPlay = g.BallsInPlay();
  const int32_t jy = JugglingShake(inPlay, pictureRandom.Next());
  const int32_t jx = JugglingShake(inPlay, pictureRandom.Next());
  std::snprintf(out.AddShadowed(HudFont::Big, 580 + jx, 80 + jy, textFormat::Center, 0xFFFF6432).text, n,
                "x%2d", inPlay);
  std::snprintf(out.Add(HudFont::Small, 580, 120, textFormat::Center, kYellow).text, n, "BALL REST");
  std::snprintf(out.AddShadowed(HudFont::Big, 580, 140, textFormat::Center, 0xFFFFFFFF).text, n, "%2d",
                g.ballStock - g.ballsLaunched);

  if (g.phase == Revive) {
    std::snprintf(out.AddShadowed(HudFont::Big, 320, 200, textFormat::Center, 0xFFFFFFFF).text, n,
                  "O o p s !");
  }
  if (g.replayMode == Playback) {
    const int32_t a = std::abs(255 - hud.replayBlink);
    std::snprintf(out.Add(HudFont::Small, 624, 460, textFormat::Right, WithAlpha(a, 0x000032FF)).text, n,
                  "Replay Mode");
    hud.replayBlink += 4;
    if (hud.replayBlink > 510) hud.replayBlink = 0;
  }
  switch (g.phase) {
    case AllClear: AllClearPresentation(g, hud, nowMs, out); break;
    case GameOver: GameOverBanner(g.vars, out); break;
    case LevelIntro: LevelBanner(g, g.vars, out); break;
    default: break;
  }
}

void LayoutOverlay(const GameState& g, double fps, HudLayout& out) {
  std::snprintf(out.Add(HudFont::Small, 0, 460, textFormat::Left, kYellow).text, sizeof(HudText::text),
                "FPS:%.02f", fps);
  if (g.gapMarker == 99.0) {
    std::snprintf(out.Add(HudFont::Small, 320, 240, textFormat::Center, 0xFFFF0000).text,
                  sizeof(HudText::text), "Replay Gapped!");
  }
}

}  // namespace quadrel
