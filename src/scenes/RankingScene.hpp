// The ranking after a game: the local top ten sliding into place under a
// spiralling heading; for a score that made the table the name entry, the
// questions whether to save the replay and to register online with their
// results, then the table alone until a click or 900 steps lead to the title.
#pragma once

#include <array>
#include <string>

#include "ranking/RankingTable.hpp"
#include "scenes/BackgroundWork.hpp"
#include "scenes/MenuScene.hpp"

namespace quadrel {

class ReplayStore;

enum RankingStep : int32_t {
  NameEntryStep = 0,
  AskSaveStep = 1,
  SaveResultStep = 2,
  AskRegisterStep = 3,
  RegisterResultStep = 4,
  FinishStep = 5,
  TableOnlyStep = 99,
  LeaveStep = -1,
};

enum RankingAnswer : int32_t { NoAnswer = 0, YesAnswer = 1, NoThanksAnswer = 2 };

// The answer button under (x, y): strictly inside its box.
RankingAnswer HitTestRankingAnswer(int32_t x, int32_t y);

// One letter of the heading, spiralling into place.
struct TitleLetter {
  char character;
  int32_t baseX, baseY;
  double angle;   // degrees
  double radius;  // pixels
  int32_t wait;   // drawn frames before it shows
};

class RankingScene final : public MenuScene {
 public:
  RankingScene(SceneServices& services, RankingTable& table, ReplayStore& store,
               std::string rankingPath = kRankingFileName);

  SceneId Id() const override { return SceneId::Ranking; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext& ctx) override;

  int32_t step() const { return step_; }
  int32_t slideCounter() const { return slideCounter_; }
  int32_t pulsePhase() const { return pulsePhase_; }
  int32_t blinkCounter() const { return blinkCounter_; }
  const std::string& messageText() const { return messageText_; }
  uint32_t messageColour() const { return messageColour_; }
  bool prepared() const { return prepared_; }
  // The registration is on its way: "Sending..." shows where its answer will.
  bool sending() const { return sending_; }
  int letterCount() const { return letterCount_; }

 private:
  void Load() override;
  // Hidden only while a name is typed in full screen: the table alone and
  // the questions are answered with the mouse.
  bool CursorShown(const AppContext& ctx) const override;
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext& ctx) override;
  void AnswerClick(AppContext& ctx);
  void DrawHeading();
  void DrawTable();
  void DrawQuestion(const char* text, const AppContext& ctx);
  void SetMessage(const char* text, uint32_t colour);
  void ShowRegistrationOutcome(int32_t outcome);

  RankingTable& table_;
  ReplayStore& store_;
  std::string rankingPath_;
  bool prepared_ = false;
  int32_t step_ = TableOnlyStep;
  int32_t slideCounter_ = 0;
  int32_t blinkCounter_ = 0;
  int32_t messageTimer_ = 0;
  int32_t pulsePhase_ = 0;
  std::string messageText_;
  uint32_t messageColour_ = 0;
  std::array<TitleLetter, 7> letters_{};
  int letterCount_ = 0;
  render::Font* smallFont_ = nullptr;
  render::Font* largeFont_ = nullptr;
  bool sending_ = false;
  // Last, so that it is cancelled and joined before the rest goes.
  BackgroundWork registration_;
};

}  // namespace quadrel
