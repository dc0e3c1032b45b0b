#include "scenes/RankingScene.hpp"

#include <cmath>
#include <cstdio>

#include "base/RankingProtocol.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

namespace {

constexpr int32_t kReturnSteps = 900;
constexpr uint32_t kCompleteColour = 0xFF96C8FFu;
constexpr uint32_t kErrorColour = 0xFFFF0000u;
constexpr uint32_t kCancelledColour = 0xFFFF6464u;
constexpr uint32_t kOutOfRankColour = 0xFFFF00C8u;
constexpr int32_t kMessageFrames = 30;  // a result shows for this many drawn frames and one more

// The hover boxes are the click boxes.
constexpr MenuButton kAnswers[] = {
    {"Yes", 220, 410, 36, 20, YesAnswer},
    {"No", 420, 410, 24, 20, NoThanksAnswer},
};

constexpr uint32_t kSendingColour = 0xC0FFFFFFu;

}  // namespace

RankingAnswer HitTestRankingAnswer(int32_t x, int32_t y) {
  return static_cast<RankingAnswer>(HitButton(kAnswers, x, y, NoAnswer));
}

RankingScene::RankingScene(SceneServices& services, RankingTable& table, ReplayStore& store,
                           std::string rankingPath)
    : MenuScene(services),
      table_(table),
      store_(store),
      rankingPath_(std::move(rankingPath)) {}

int32_t RankingScene::Initialise(AppContext& ctx) {
  if (!graphics_.DeviceCreated()) return kFail;
  if (prepared_) return kOk;
  Load();
  prepared_ = true;
  static constexpr char kHeading[] = "Ranking";
  letterCount_ = static_cast<int>(letters_.size());
  for (int i = 0; i < letterCount_; ++i)
    letters_[i] = TitleLetter{kHeading[i], 200 + 40 * i, 60, 270.0, 120.0, 10 * i};
  pulsePhase_ = 0;
  table_.nameCursor = 0;
  blinkCounter_ = 0;
  messageTimer_ = 0;
  LoadRankingFile(table_, rankingPath_);
  InsertRankingEntry(table_, ctx);
  // The insertion leaves a score only when it made the table.
  if (ctx.score != 0) {
    step_ = NameEntryStep;
    slideCounter_ = 0;
  } else {
    step_ = TableOnlyStep;
    slideCounter_ = kReturnSteps;
  }
  // Keys and buttons already held are no press.
  input_.HoldAll();
  // Every entry hides the cursor in full screen, the table alone too; the
  // questions show it when they come.
  s_.window.ShowCursor(ctx.fullScreen == 0);
  BeginFadeIn(clock_);
  return kOk;
}

void RankingScene::Load() {
  LoadMenuScene(graphics_, 0xFF3264C8u, smallFont_, 20, largeFont_, 48, "./texture/ranking.dds");
}

bool RankingScene::CursorShown(const AppContext& ctx) const {
  return !(ctx.fullScreen != 0 && step_ == NameEntryStep);
}

void RankingScene::SetMessage(const char* text, uint32_t colour) {
  messageText_ = text;
  messageColour_ = colour;
}

void RankingScene::AnswerClick(AppContext& ctx) {
  const RankingAnswer answer = HitTestRankingAnswer(ctx.mouseX, ctx.mouseY);
  if (answer == NoAnswer) return;
  if (step_ == AskSaveStep) {
    step_ = SaveResultStep;
    if (answer == NoThanksAnswer) {
      SetMessage("Cancelled", kCancelledColour);
    } else if (store_.WriteReplayFile()) {
      SetMessage("Complete !", kCompleteColour);
    } else {
      // The file is the player's only copy of the game: never claim it was kept.
      SetMessage("ERROR", kErrorColour);
    }
    return;
  }
  step_ = RegisterResultStep;
  if (answer == NoThanksAnswer) {
    SetMessage("Cancelled", kCancelledColour);
    return;
  }
  const int32_t row = table_.newEntryIndex;
  if (row < 0 || row >= kRankingRows) {
    ShowRegistrationOutcome(static_cast<int32_t>(protocol::Verdict::Failed));
    return;
  }
  // The exchange may take seconds: it runs beside the frame loop, which goes
  // on drawing and answering the window.
  const RankingEntry entry = table_.rows[row];
  const int32_t level = ctx.reachedLevel;
  sending_ = registration_.Start([this, entry, level](const std::atomic<bool>& cancel) {
    return s_.registerOnline(entry, level, store_, cancel);
  });
  if (!sending_) {
    const std::atomic<bool> never{false};
    ShowRegistrationOutcome(s_.registerOnline(entry, level, store_, never));
  }
}

void RankingScene::ShowRegistrationOutcome(int32_t outcome) {
  using protocol::Verdict;
  switch (static_cast<Verdict>(outcome)) {
    case Verdict::Accepted:
      SetMessage("Complete !", kCompleteColour);
      break;
    case Verdict::OutOfRank:
      SetMessage("Out of Rank...", kOutOfRankColour);
      break;
    case Verdict::BadVersion:
      SetMessage("Bad Version", kErrorColour);
      break;
    default:
      SetMessage("ERROR", kErrorColour);
      break;
  }
}

void RankingScene::Input(AppContext& ctx) {
  if (sending_) {
    // The transport's messages show here, before the answer, as they were made.
    if (const std::optional<int32_t> outcome = registration_.Collect()) {
      sending_ = false;
      ShowRegistrationOutcome(*outcome);
    }
  }
  // While Alt+Enter is held nothing else is read: the Enter is seen, so
  // letting go of Alt before Enter is no Enter press that would end the name entry.
  ReadInput(ctx);
  if (AltEnterDown(input_.keys())) return;
  if (!AltDown(input_.keys()) && step_ == NameEntryStep &&
      (input_.KeyPressed(key::Enter) || input_.KeyPressed(key::PadEnter))) {
    SaveRankingFile(table_, rankingPath_);  // a failure has shown its message
    step_ = AskSaveStep;
    s_.window.ShowCursor(true);
  }
  // While a name is typed, M, - and + are letters.
  if (step_ != NameEntryStep) TakeMenuSoundKeys(s_, input_);
  if (input_.Clicked()) {
    if (step_ == TableOnlyStep) {
      step_ = LeaveStep;
      LeaveTo(SceneId::Title);
    } else if (step_ == AskSaveStep || step_ == AskRegisterStep) {
      AnswerClick(ctx);
    }
  }
  if (step_ == FinishStep) {
    // Enter again: with no score the next entry shows the table alone.
    ctx.score = 0;
    LeaveTo(SceneId::Ranking);
  }
  if (step_ == LeaveStep) LeaveTo(SceneId::Title);
  // Only the name entry edits the name: the row saved with Enter is the row
  // registered online and shown until the scene leaves.
  if (step_ == NameEntryStep) EditRankingName(table_, input_.keys(), input_.keysBefore(), true);
}

void RankingScene::Update(AppContext&) {
  if (step_ == TableOnlyStep && --slideCounter_ <= 0) {
    slideCounter_ = 0;
    step_ = LeaveStep;
  }
  AdvanceFade(clock_);
}

void RankingScene::DrawHeading() {
  if (!largeFont_) return;
  for (int i = 0; i < letterCount_; ++i) {
    TitleLetter& l = letters_[i];
    if (l.wait > 0) {
      l.wait -= 1;
      continue;
    }
    const double a = l.angle * 3.1415926538 / 180.0;
    const double x = l.baseX + l.radius * std::cos(a) - l.radius * std::sin(a);
    const double y = l.baseY + l.radius * std::sin(a);
    const char text[2] = {l.character, '\0'};
    largeFont_->DrawTextShadow(text, static_cast<int32_t>(x), static_cast<int32_t>(y), 3,
                               kTextCenter, 0xFFFF6432u, 0xFF000A28u);
    if (l.radius > 0) {
      l.angle -= 4.0;
      l.radius -= 1.5;
    } else {
      l.radius = 0;
    }
  }
}

void RankingScene::DrawTable() {
  int32_t top = 3 * slideCounter_ - 2100;
  if (top < 140) top = 140;
  char text[64];
  if (smallFont_) {
    for (int i = 0; i < kRankingRows; ++i) {
      const RankingEntry& row = table_.rows[i];
      if (row.score == 0) continue;
      const int32_t y = top + 20 * i;
      const uint32_t colour = i == table_.newEntryIndex ? 0xFFFFC8C8u : 0xFFFFFFFFu;
      std::snprintf(text, sizeof text, "%4s", RankLabel(i));
      smallFont_->DrawTextShadow(text, 100, y, 2, kTextRight, colour, 0xFF323232u);
      std::snprintf(text, sizeof text, "%08d   %10s", row.score, row.name);
      smallFont_->DrawTextShadow(text, 140, y, 2, kTextLeft, colour, 0xFF323232u);
      std::snprintf(text, sizeof text, "%19s", row.dateTime);
      smallFont_->DrawTextShadow(text, 420, y, 2, kTextLeft, colour, 0xFF323232u);
    }
  }
  const int32_t entry = table_.newEntryIndex;
  if (step_ == NameEntryStep && largeFont_ && entry >= 0 && entry < kRankingRows) {
    const char* name = table_.rows[entry].name;
    for (int i = 0; i < kRankingNameLength; ++i) {
      const uint32_t alpha = blinkCounter_ < 15 && i == table_.nameCursor ? 50u : 255u;
      const int32_t x = 176 + 32 * i;
      std::snprintf(text, sizeof text, "%.1s", name + i);
      largeFont_->DrawTextShadow(text, x, 365, 3, kTextCenter, alpha << 24 | 0xFFFFFFu,
                                 alpha << 24 | 0x323232u);
      largeFont_->DrawTextShadow("_", x, 370, 3, kTextCenter, alpha << 24 | 0xFFFFFFu,
                                 alpha << 24 | 0x323232u);
    }
  }
  blinkCounter_ = (blinkCounter_ + 1) % 30;
}

void RankingScene::DrawQuestion(const char* text, const AppContext& ctx) {
  if (largeFont_)
    largeFont_->DrawTextShadow(text, 320, 340, 3, kTextCenter, 0xFFFFFF00u, 0xFF323232u);
  DrawPulsingButtons(kAnswers, pulsePhase_, ctx.mouseX, ctx.mouseY,
                     [this](const MenuButton& b, int32_t alpha) {
                       if (largeFont_)
                         largeFont_->DrawText(b.text, b.x, b.y, kTextCenter | kTextVCenter,
                                              static_cast<uint32_t>(alpha) << 24 | 0xFFFF00u);
                     });
}

void RankingScene::DrawContents(AppContext& ctx) {
  pulsePhase_ = (pulsePhase_ + 4) % 512;
  const uint32_t promptAlpha =
      static_cast<uint32_t>(pulsePhase_ < 256 ? pulsePhase_ : 511 - pulsePhase_);
  DrawHeading();
  DrawTable();
  // Each test sees the step as the one before left it: a result that ends
  // here is followed by its question from the next frame on.
  if (step_ == AskRegisterStep) DrawQuestion("Regist Internet Ranking ?", ctx);
  if (step_ == RegisterResultStep && sending_) {
    if (smallFont_) smallFont_->DrawText("Sending...", 320, 350, kTextCenter, kSendingColour);
  } else if (step_ == SaveResultStep || step_ == RegisterResultStep) {
    if (messageTimer_ % 3 != 0 && largeFont_)
      largeFont_->DrawTextShadow(messageText_.c_str(), 320, 340, 3, kTextCenter, messageColour_,
                                 0xFF323232u);
    if (++messageTimer_ > kMessageFrames) {
      messageTimer_ = 0;
      step_ += 1;
    }
  }
  if (step_ == AskSaveStep) DrawQuestion("Save Replay Data ?", ctx);
  if (step_ == TableOnlyStep && smallFont_)
    smallFont_->DrawText("[ Click to return ]", 320, 400, kTextCenter,
                         promptAlpha << 24 | 0xFFFF00u);
}

void RankingScene::Release(AppContext&) {
  prepared_ = false;
  letterCount_ = 0;
}

}  // namespace quadrel
