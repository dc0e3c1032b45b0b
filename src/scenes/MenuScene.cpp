#include "scenes/MenuScene.hpp"

namespace quadrel {

int32_t HitButton(std::span<const MenuButton> buttons, int32_t x, int32_t y, int32_t none) {
  for (const MenuButton& b : buttons)
    if (b.Over(x, y)) return b.id;
  return none;
}

int32_t ButtonAlpha(int32_t phase, bool hovered) {
  if (!hovered) return 80;
  return phase < 256 ? 255 - phase : phase - 256;
}

void MenuScene::ChangeMode(AppContext& ctx) {
  s_.graphics.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
  Load();
  s_.window.ShowCursor(CursorShown(ctx));
}

void MenuScene::ReadInput(AppContext& ctx) {
  input_.Read(s_.input);
  if (input_.AltEnterPressed()) SwitchDisplayMode(ctx);
}

bool MenuScene::ReadChoiceInput(AppContext& ctx) {
  if (clock_.nextScene >= 0) return false;
  ReadInput(ctx);
  TakeMenuSoundKeys(s_, input_);
  return true;
}

void MenuScene::FollowPointer(const AppContext& ctx) {
  if (clock_.nextScene < 0) {
    pointerX_ = ctx.mouseX;
    pointerY_ = ctx.mouseY;
  }
}

}  // namespace quadrel
