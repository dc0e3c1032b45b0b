// A game scene on its own, with sounds counted and input scripted.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "game/Field.hpp"
#include "game/GameInput.hpp"
#include "game/GameMain.hpp"
#include "game/Physics.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel::test {

struct CountingSound : GameSound {
  int hits = 0, bars = 0, music = 0, stops = 0;
  void PlayHitSound() override { ++hits; }
  void PlayBarSound() override { ++bars; }
  void StartMusic() override { ++music; }
  void StopAllSound() override { ++stops; }
};

struct World {
  AppContext ctx{};
  ReplayStore store;
  Random rng{1};
  GameScene g{ctx, store, rng};
  CountingSound sound;

  explicit World(int32_t mode = Off) {
    g.sound = &sound;
    GameReset(g);
    ctx.replayMode = mode;
    EnterGameState(g);
  }
  World(const World&) = delete;

  // One step as the game's tick runs it: input inside the step, then the update.
  void Step(int dx = 0, bool button = false, const KeyboardState* keys = nullptr) {
    MouseState m{};
    m.lX = dx;
    m.rgbButtons[0] = button ? 0x80 : 0;
    KeyboardState none{};
    SimulationStep(g, m, keys ? *keys : none);
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) Step();
  }
  // Runs the level banner until play begins.
  void ToPlaying() {
    while (ctx.phase == LevelIntro) Step();
  }
  // Removes every block, so balls fly freely.
  void ClearField() {
    for (Block& b : ctx.blocks) b.alive = 0;
  }
  // Puts a ball in flight in the next free slot.
  Ball& Launch(double x, double y, double vx, double vy, double speed) {
    Ball& b = ctx.balls[ctx.ballsLaunched];
    b = Ball{};
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.speed = speed;
    b.scale = 1.0;
    b.launched = 1;
    ctx.ballsLaunched += 1;
    return b;
  }
};

inline std::unique_ptr<World> MakeWorld(int32_t mode = Off) { return std::make_unique<World>(mode); }

}  // namespace quadrel::test
