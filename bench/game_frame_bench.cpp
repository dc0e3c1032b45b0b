// The game scene's worst frame on the real assets through OpenGL (Mesa
// llvmpipe when there is no GPU), and the time from start to the first drawn
// title frame. Runs on a private Xvfb display; reports medians in ms.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "XvfbDisplay.hpp"
#include "game/Field.hpp"
#include "game/GameMain.hpp"
#include "game/Physics.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"
#include "scenes/TitleScene.hpp"

using namespace quadrel;
using Clock = std::chrono::steady_clock;

namespace {

struct NoInput : GameInputDevice {
  void ReadMouse(MouseState& m) override { m = MouseState{}; }
  void ReadKeyboard(KeyboardState& k) override { k = KeyboardState{}; }
};
struct NoWindow : SceneWindow {
  void ShowCursor(bool) override {}
};
struct Silence : GameSound {};

testing::XvfbDisplay& Display() {
  static testing::XvfbDisplay display(1024, 768);
  return display;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Level 5 with every block, 13 balls, both option bars and ten items.
void WorstField(GameState& game) {
  StepEvents ev;
  game.level = 4;
  game.phase = Playing;
  StartLevel(game, ev);
  for (int k = 0; k < 90; ++k) game.blocks[k].y = RowHeight(k / 10);
  game.ballStock = 13;
  for (int i = 0; i < 13; ++i) {
    Ball& b = game.balls[i];
    b.launched = 1;
    b.scale = 1.0;
    b.x = -18.0 + 3.0 * i;
    b.y = 6.0 + 1.5 * i;
  }
  game.ballsLaunched = 13;
  for (int j = 1; j <= 2; ++j) {
    game.bars[j].active = 1;
    game.bars[j].scale = 1.0;
    game.bars[j].y = 3.9;
    game.bars[j].x = j * 6.0;
    game.bars[j].lifetime = 900;
  }
  for (int i = 0; i < kItemSlots; ++i) SpawnItem(game, -18.0 + 4.0 * i, 12.0 + i, 1 + i % 2);
  game.score = 12345678;
}

void BM_WorstGameFrame(benchmark::State& state) {
  if (!Display().Ok()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(QUADREL_RUNTIME_DIR);
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_Window* window = render::CreateGameWindow(false);
  {
    render::GlGraphics g(window);
    g.SetSwapInterval(0);
    NoInput input;
    NoWindow cursor;
    platform::SystemClock clock;
    SceneServices services{g, input, clock, cursor};
    AppContext ctx{};
    ReplayStore store;
    GameState game{};
    game.replay = &store;
    Silence sound;
    GameSceneTick scene(services, game, sound, [] { return 0; });
    GameReset(game);
    if (g.InitDirect3D(0) < 0 || scene.Initialise(ctx) < 0) {
      state.SkipWithError("no OpenGL 3.3 device or assets");
    } else {
      game.vars.clock.nextScene = kFadeIdle;
      WorstField(game);
      for (int i = 0; i < 30; ++i) scene.Draw(ctx);  // warm up
      glFinish();
      std::vector<double> ms;
      for (auto _ : state) {
        const auto start = Clock::now();
        scene.Draw(ctx);
        glFinish();
        const std::chrono::duration<double> d = Clock::now() - start;
        state.SetIterationTime(d.count());
        ms.push_back(d.count() * 1000.0);
        // Keep things moving without letting the field empty.
        for (Block& b : game.blocks) b.angle += 1.0;
      }
      state.counters["median_ms"] = Median(ms);
      state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    }
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  std::filesystem::current_path(home);
}
BENCHMARK(BM_WorstGameFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

// From SDL's start to the first title frame on the screen: window, device,
// fonts and picture of the title, one frame drawn and shown.
void BM_StartToFirstTitleFrame(benchmark::State& state) {
  if (!Display().Ok()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(QUADREL_RUNTIME_DIR);
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = Clock::now();
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Window* window = render::CreateGameWindow(false);
    {
      render::GlGraphics g(window);
      NoInput input;
      NoWindow cursor;
      platform::SystemClock clock;
      SceneServices services{g, input, clock, cursor};
      AppContext ctx{};
      TitleScene title(services);
      title.Initialise(ctx);
      title.Update(ctx);
      title.Draw(ctx);
      glFinish();
      const std::chrono::duration<double> d = Clock::now() - start;
      state.SetIterationTime(d.count());
      ms.push_back(d.count() * 1000.0);
      g.DestroyAllMeshes();
      g.DestroyAllFonts();
      g.ShutdownDirect3D();
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  state.counters["median_ms"] = Median(ms);
  std::filesystem::current_path(home);
}
BENCHMARK(BM_StartToFirstTitleFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

BENCHMARK_MAIN();
