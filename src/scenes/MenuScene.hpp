// The kit the title, the ranking and the replay list are built from: the
// scene's clock, one input snapshot per tick with the display-mode switch,
// the reload after a switch, the pointer held still during a fade-out, and
// buttons that pulse under the mouse.
#pragma once

#include <cstdint>
#include <span>

#include "scenes/FramedScene.hpp"
#include "scenes/SceneServices.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

struct MenuButton {
  const char* text;
  int32_t x, y, halfWidth, halfHeight;
  int32_t id;
  // Strictly inside the box.
  bool Over(int32_t px, int32_t py) const {
    return x - halfWidth < px && px < x + halfWidth && y - halfHeight < py && py < y + halfHeight;
  }
};

// The first button under (x, y) in the given order; `none` if there is none.
int32_t HitButton(std::span<const MenuButton> buttons, int32_t x, int32_t y, int32_t none);

// A hovered button's alpha follows the pulse phase (0..511) down and up
// again; a button not hovered stays dim.
int32_t ButtonAlpha(int32_t phase, bool hovered);

// Draws every button with its alpha. Off every button the pulse starts again,
// so that a button entered later lights up at once.
template <class DrawOne>
void DrawPulsingButtons(std::span<const MenuButton> buttons, int32_t& phase, int32_t x, int32_t y,
                        DrawOne draw) {
  bool anyHovered = false;
  for (const MenuButton& b : buttons) {
    const bool hovered = b.Over(x, y);
    anyHovered = anyHovered || hovered;
    draw(b, ButtonAlpha(phase, hovered));
  }
  if (!anyHovered) phase = 0;
}

class MenuScene : public FramedScene {
 public:
  FixedStepClock& Clock() final { return clock_; }

 protected:
  explicit MenuScene(SceneServices& services) : FramedScene(services.graphics), s_(services) {}

  // Render states, fonts and background: on entry and after a display switch.
  virtual void Load() = 0;
  // Whether the cursor shows after a display switch.
  virtual bool CursorShown(const AppContext&) const { return true; }
  // Switch the display mode (Alt+Enter or a lost device) and reload.
  void ChangeMode(AppContext& ctx) final;
  // This tick's snapshot; a fresh Alt+Enter switches the display.
  void ReadInput(AppContext& ctx);
  // A menu still to choose reads its input, the sound keys with it; false
  // once a scene change is asked for: nothing is read then.
  bool ReadChoiceInput(AppContext& ctx);
  // The pointer the hover effects use: the mouse, until a scene change is
  // asked for; then it stays where the choice was made.
  void FollowPointer(const AppContext& ctx);
  // Fades out to that scene.
  void LeaveTo(SceneId next) { clock_.nextScene = SceneNumber(next); }

  SceneServices& s_;
  FixedStepClock clock_;
  InputEdges input_;
  int32_t pointerX_ = 0, pointerY_ = 0;
};

}  // namespace quadrel
