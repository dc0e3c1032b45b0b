// The title and game scenes on headless services: recorded drawing, scripted
// input, a fake millisecond clock and a counted cursor.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "game/GameMain.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"
#include "scenes/TitleScene.hpp"

namespace quadrel::test {

struct ScriptedInput : GameInputDevice {
  MouseState mouse{};
  KeyboardState keys{};
  void ReadMouse(MouseState& m) override {
    m = mouse;
    mouse.lX = 0;  // movement is used up by the read
  }
  void ReadKeyboard(KeyboardState& k) override { k = keys; }
  void Button(bool down) { mouse.rgbButtons[0] = down ? 0x80 : 0; }
};

struct CursorWindow : SceneWindow {
  bool visible = true;
  int calls = 0;
  void ShowCursor(bool show) override {
    visible = show;
    ++calls;
  }
};

struct SoundLog : GameSound {
  int hits = 0, bars = 0, music = 0, stops = 0;
  void PlayHitSound() override { ++hits; }
  void PlayBarSound() override { ++bars; }
  void StartMusic() override { ++music; }
  void StopAllSound() override { ++stops; }
};

struct SceneRig {
  render::HeadlessGraphics graphics;
  ScriptedInput input;
  platform::FakeClock clock{100000};
  CursorWindow window;
  int quitCode = -1;
  SceneServices services{graphics, input, clock, window};
  AppContext ctx{};
  ReplayStore store;
  GameState game{};
  SoundLog sound;
  int soundLoads = 0;
  GameSceneTick gameScene{services, game, sound, [this] {
                            ++soundLoads;
                            return 0;
                          }};
  TitleScene title{services};

  SceneRig() {
    services.quit = [this](int code) { quitCode = code; };
    game.replay = &store;
    game.gameRandom.Seed(1);
    GameReset(game);
    ctx.fullScreen = 1;
    graphics.InitDirect3D(1);
  }
  SceneRig(const SceneRig&) = delete;

  // One step of the game scene as its tick runs it, and the frame drawn after it.
  void GameFrame() {
    gameScene.StepInput(ctx);
    gameScene.Update(ctx);
    gameScene.Draw(ctx);
    clock.Advance(16);
  }
  std::vector<std::string>& Log() { return const_cast<std::vector<std::string>&>(graphics.Log().Lines()); }
  void StartLog() {
    graphics.Log().Clear();
    graphics.Log().Enable(true);
  }
  // Index of the first logged call containing text after position from; -1 if none.
  int Find(const std::string& text, int from = 0) {
    const auto& lines = graphics.Log().Lines();
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
      if (lines[i].find(text) != std::string::npos) return i;
    return -1;
  }
  int Count(const std::string& text) {
    const auto& lines = graphics.Log().Lines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(text) != std::string::npos;
    }));
  }
};

}  // namespace quadrel::test
