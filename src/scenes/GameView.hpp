// The game's picture of one game state: the field (ground, walls, blocks,
// items, balls, bars with their shadows) and the HUD texts, on any Graphics.
// The game scene draws through it, and so does the web replay viewer.
#pragma once

#include <array>
#include <cstdint>

#include "game/GameHud.hpp"
#include "game/GameState.hpp"
#include "platform/render/Graphics.hpp"

namespace quadrel {

constexpr int kGameModelCount = 11;

// The models in the order the drawing numbers them.
extern const char* const kGameModelFiles[kGameModelCount];

class GameView {
 public:
  // Models, light, view, fonts and the background; negative after the fatal
  // report of a missing model.
  int32_t Load(render::Graphics& g);
  void DrawField(render::Graphics& g, const GameState& game);
  void DrawTexts(const HudLayout& layout);
  // The eye the arrow keys moved; the rest of the camera is the scene view's.
  static void PlaceCamera(const GameVars& v, render::Camera& camera);

 private:
  std::array<render::Mesh*, kGameModelCount> models_{};
  render::Font* smallFont_ = nullptr;
  render::Font* bigFont_ = nullptr;
};

}  // namespace quadrel
