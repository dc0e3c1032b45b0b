// The game's state on its own, with input scripted and events gathered.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "game/Field.hpp"
#include "game/GameHud.hpp"
#include "game/GameInput.hpp"
#include "game/GameMain.hpp"
#include "game/Physics.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel::test {

struct World {
  ReplayStore store;
  GameState g{};
  // What the steps and the parts called on their own reported, sounds summed.
  StepEvents ev;
  AppContext shell{};  // what a leaving click hands the next scene
  // The picture's side, for the texts' layout.
  HudState hud;
  Random pictureRandom;

  explicit World(int32_t mode = Off) {
    g.replay = &store;
    GameReset(g);
    g.replayMode = mode;
    EnterGameState(g);
  }
  World(const World&) = delete;

  // One step as the game's tick runs it; a recording keeps what it asks for.
  void Step(int dx = 0, bool button = false, const KeyboardState* keys = nullptr) {
    StepInput in;
    in.mouse.lX = dx;
    in.mouse.rgbButtons[0] = button ? 0x80 : 0;
    if (keys) in.keyboard = *keys;
    in.countUpDone = countUpDone;
    Take(quadrel::Step(g, in));
  }
  void Take(const StepEvents& e) {
    RecordEvents(store, e);
    ev.stopSound = ev.stopSound || e.stopSound;
    ev.hits = static_cast<uint8_t>(ev.hits + e.hits);
    ev.bars = static_cast<uint8_t>(ev.bars + e.bars);
    ev.startMusic = ev.startMusic || e.startMusic;
    if (e.leaveTo >= 0) {
      ev.leaveTo = e.leaveTo;
      HandOverResult(g, shell);
    }
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) Step();
  }
  bool countUpDone = false;
  // Runs the level banner until play begins.
  void ToPlaying() {
    while (g.phase == LevelIntro) Step();
  }
  // Removes every block, so balls fly freely.
  void ClearField() {
    for (Block& b : g.blocks) b.alive = 0;
  }
  // Puts a ball in flight in the next free slot.
  Ball& Launch(double x, double y, double vx, double vy, double speed) {
    Ball& b = g.balls[g.ballsLaunched];
    b = Ball{};
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.speed = speed;
    b.scale = 1.0;
    b.launched = 1;
    g.ballsLaunched += 1;
    return b;
  }
};

inline std::unique_ptr<World> MakeWorld(int32_t mode = Off) { return std::make_unique<World>(mode); }

}  // namespace quadrel::test
