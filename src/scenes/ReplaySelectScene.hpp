// The replay list: every saved replay with its score, level and date, scrolled
// by keeping the mouse above or below the list; a click on a readable row plays
// it back in the game scene, "[ Back to Title ]" returns.
#pragma once

#include <vector>

#include "replay/ReplayList.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/MenuScene.hpp"

namespace quadrel {

// The list's geometry in picture pixels.
constexpr int32_t kReplayListTop = 160;
constexpr int32_t kReplayListBottom = 360;
constexpr int32_t kReplayRowHeight = 20;
constexpr int32_t kReplayRowsShown = 10;

// Colours of a row: hovered, readable (with its fade alpha), unreadable.
constexpr uint32_t kReplayRowHover = 0xFFFF9696u;
constexpr uint32_t kReplayRowText = 0x00FFFFFFu;
constexpr uint32_t kReplayRowInvalid = 0x00960000u;

// "[ Back to Title ]": 260 <= x < 380, 400 <= y < 420.
bool InsideBackToTitle(int32_t x, int32_t y);
// Top edge of row i at this scroll offset.
int32_t ReplayRowY(int index, double scrollOffset);
// The row (valid or not) under (x, y) within the visible band; -1 if none.
int HitReplayRow(const std::vector<ReplayListEntry>& list, double scrollOffset, int32_t x,
                 int32_t y);
// Opacity of a row whose top edge is at y: fading in above 160 and out below 340.
int32_t ReplayRowAlpha(int32_t y);

class ReplaySelectScene final : public MenuScene {
 public:
  ReplaySelectScene(SceneServices& services, ReplayStore& store,
                    std::string folder = kReplayFolder)
      : MenuScene(services), store_(store), folder_(std::move(folder)) {}

  SceneId Id() const override { return SceneId::ReplaySelect; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext& ctx) override;

  // Also after a display-mode change.
  void Load() override;
  // The first valid row under the live mouse: playback of it in the game scene.
  void PickReplayRow(AppContext& ctx);

  const std::vector<ReplayListEntry>& List() const { return list_; }
  double scrollOffset() const { return scrollOffset_; }
  int32_t pulsePhase() const { return pulsePhase_; }
  bool prepared() const { return prepared_; }

 private:
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext&) override { prepared_ = false; }

  ReplayStore& store_;
  std::string folder_;
  bool prepared_ = false;
  std::vector<ReplayListEntry> list_;
  double scrollOffset_ = 0.0;
  int32_t pulsePhase_ = 0;
  render::Font* smallFont_ = nullptr;
  render::Font* largeFont_ = nullptr;
};

}  // namespace quadrel
