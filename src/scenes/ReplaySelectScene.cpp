#include "scenes/ReplaySelectScene.hpp"

#include <algorithm>
#include <cstdio>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

namespace {

constexpr double kScrollStep = 2.0;
constexpr int32_t kRowLeft = 140, kRowRight = 500;

// Each file that could not be read is reported as the replay read reports it.
void ReportUnreadable(const ReplayListEntry& entry) {
  if (entry.status == ReplayReadStatus::CannotOpen) ShowDebugMessage(Tr("Could not open the replay file."));
  if (entry.status == ReplayReadStatus::ReadFailed || entry.status == ReplayReadStatus::TooLarge)
    ShowDebugMessage(Tr("Could not read the replay file: it is damaged or too large."));
}

}  // namespace

bool InsideBackToTitle(int32_t x, int32_t y) { return 260 <= x && x < 380 && 400 <= y && y < 420; }

int32_t ReplayRowY(int index, double scrollOffset) {
  return kReplayListTop + kReplayRowHeight * index + static_cast<int32_t>(scrollOffset);
}

int HitReplayRow(const std::vector<ReplayListEntry>& list, double scrollOffset, int32_t x,
                 int32_t y) {
  if (!(kRowLeft < x && x < kRowRight && kReplayListTop < y && y < kReplayListBottom)) return -1;
  // Rows are 20 pixels apart; only the row whose band holds y can match.
  const int32_t top = ReplayRowY(0, scrollOffset);
  const int index = (y - top - 1) / kReplayRowHeight;
  if (y <= top || index >= static_cast<int>(list.size())) return -1;
  const int32_t rowY = ReplayRowY(index, scrollOffset);
  return rowY < y && y < rowY + kReplayRowHeight ? index : -1;
}

int32_t ReplayRowAlpha(int32_t y) {
  const int32_t alpha = y < kReplayListTop ? 4 * (3 * y - 420) : 4 * 3 * (kReplayListBottom - y);
  return std::clamp(alpha, 0, 255);
}

int32_t ReplaySelectScene::Initialise(AppContext&) {
  if (!s_.graphics.DeviceCreated()) return kFail;
  if (prepared_) return kOk;
  Load();
  // A button or key still held from the title is no press here.
  input_.HoldAll();
  prepared_ = true;
  s_.window.ShowCursor(true);
  store_.ResetReplayStore();
  list_.clear();
  list_ = ScanReplayFiles(folder_);
  for (const ReplayListEntry& entry : list_) ReportUnreadable(entry);
  scrollOffset_ = 0.0;
  pulsePhase_ = 0;
  BeginFadeIn(clock_);
  return kOk;
}

void ReplaySelectScene::Load() {
  LoadMenuScene(s_.graphics, 0xFF000000u, smallFont_, 20, largeFont_, 32, "./texture/select.dds");
}

void ReplaySelectScene::Input(AppContext& ctx) {
  if (ReadChoiceInput(ctx) && input_.Clicked()) {
    // The click's own position is the one the fade-out keeps lit.
    FollowPointer(ctx);
    if (InsideBackToTitle(ctx.mouseX, ctx.mouseY))
      LeaveTo(SceneId::Title);
    else
      PickReplayRow(ctx);
  }
}

void ReplaySelectScene::PickReplayRow(AppContext& ctx) {
  const int row = HitReplayRow(list_, scrollOffset_, ctx.mouseX, ctx.mouseY);
  if (row < 0 || !list_[row].valid) return;
  ctx.replayMode = Playback;
  s_.replayToPlay = ReplayChoice{list_[row].fileName};
  LeaveTo(SceneId::Game);
}

void ReplaySelectScene::Update(AppContext& ctx) {
  FollowPointer(ctx);
  if (ctx.mouseY < kReplayListTop) scrollOffset_ += kScrollStep;
  if (ctx.mouseY > kReplayListBottom) scrollOffset_ -= kScrollStep;
  const double lowest =
      std::min(0.0, double(kReplayRowsShown - static_cast<int>(list_.size())) * kReplayRowHeight);
  scrollOffset_ = std::clamp(scrollOffset_, lowest, 0.0);
  if (InsideBackToTitle(pointerX_, pointerY_))
    pulsePhase_ = (pulsePhase_ + 8 + (clock_.nextScene >= 0 ? 56 : 0)) % 512;
  else
    pulsePhase_ = 0;
  AdvanceFade(clock_);
}

void ReplaySelectScene::DrawContents(AppContext& ctx) {
  FollowPointer(ctx);
  if (largeFont_)
    largeFont_->DrawTextShadow("Select Replay", 320, 40, 3, kTextCenter, 0xFF5096FFu, 0xFF323232u);
  if (smallFont_) {
    const uint32_t head = 0xFF96FF64u, shadow = 0xFF323232u;
    smallFont_->DrawTextShadow("SCORE", 180, 120, 2, kTextCenter, head, shadow);
    smallFont_->DrawTextShadow("LEVEL", 280, 120, 2, kTextCenter, head, shadow);
    smallFont_->DrawTextShadow("DATE", 420, 120, 2, kTextCenter, head, shadow);

    const int hovered = HitReplayRow(list_, scrollOffset_, pointerX_, pointerY_);
    // Rows from y 130 to 590 are drawn; the others are skipped without a look.
    const int first = std::max(0, (130 - ReplayRowY(0, scrollOffset_) + kReplayRowHeight - 1) /
                                      kReplayRowHeight);
    for (int i = first; i < static_cast<int>(list_.size()); ++i) {
      const int32_t y = ReplayRowY(i, scrollOffset_);
      if (y < 130) continue;
      if (y > 590) break;
      const ReplayListEntry& row = list_[i];
      const uint32_t alpha = static_cast<uint32_t>(ReplayRowAlpha(y)) << 24;
      uint32_t colour = i == hovered ? kReplayRowHover : alpha | kReplayRowText;
      if (!row.valid) colour = alpha | kReplayRowInvalid;
      const uint32_t rowShadow = alpha | 0x00323232u;
      char text[32];
      std::snprintf(text, sizeof text, "%08d", row.score);
      smallFont_->DrawTextShadow(text, 180, y, 2, kTextCenter, colour, rowShadow);
      if (row.level == 5)
        std::snprintf(text, sizeof text, "ALL");
      else if (row.level < 0)
        std::snprintf(text, sizeof text, "-");
      else
        std::snprintf(text, sizeof text, "%d", row.level + 1);
      smallFont_->DrawTextShadow(text, 280, y, 2, kTextCenter, colour, rowShadow);
      std::snprintf(text, sizeof text, "%19s", row.dateTime);
      smallFont_->DrawTextShadow(text, 420, y, 2, kTextCenter, colour, rowShadow);
    }

    const int32_t alpha = ButtonAlpha(pulsePhase_, InsideBackToTitle(pointerX_, pointerY_));
    smallFont_->DrawText("[ Back to Title ]", 320, 400, kTextCenter,
                         (static_cast<uint32_t>(alpha) << 24) | 0x00FFFF00u);
  }
}

}  // namespace quadrel
