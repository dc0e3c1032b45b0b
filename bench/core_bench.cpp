// Simulation speed: the worst single step, and whole-replay verification.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/Field.hpp"
#include "game/GameMain.hpp"
#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

using namespace quadrel;

namespace {

// Level 5 with 90 dodging blocks, 13 balls in play, two option bars and ten
// falling items: the most work one step can hold.
struct WorstCase {
  ReplayStore store;
  GameState g{};
  StepEvents ev;

  WorstCase() {
    g.replay = &store;
    g.gameRandom.Seed(7);
    GameReset(g);
    EnterGameState(g);
    g.level = 4;
    g.phase = Playing;
    StartLevel(g, ev);
    for (int k = 0; k < 90; ++k) {
      Block& b = g.blocks[k];
      b.y = RowHeight(k / 10);
      b.state = Dodging;
    }
    g.ballStock = 13;
    for (int i = 0; i < 13; ++i) {
      Ball& ball = g.balls[i];
      ball.launched = 1;
      ball.scale = 1.0;
      ball.x = -18.0 + 3.0 * i;
      ball.y = 8.0 + 3.3 * i;
      ball.speed = 0.5;
      ball.vx = (i % 2 ? 0.3 : -0.3);
      ball.vy = 0.4;
    }
    g.ballsLaunched = 13;
    for (int j = 1; j <= 2; ++j) {
      g.bars[j].active = 1;
      g.bars[j].barState = BarNormal;
      g.bars[j].lifetime = 1 << 30;
    }
    for (int i = 0; i < kItemSlots; ++i) SpawnItemAt(i);
  }
  void SpawnItemAt(int i) {
    Item& item = g.items[i];
    item = Item{};
    item.active = 1;
    item.kind = 1 + i % 2;
    item.x = -20.0 + 4.4 * i;
    item.y = 40.0;
    item.scale = 1.0;
    item.z = 0.1;
  }
};

void BM_WorstCaseStep(benchmark::State& state) {
  auto w = std::make_unique<WorstCase>();
  const GameState start = w->g;
  int steps = 0;
  for (auto _ : state) {
    GameUpdate(w->g, w->ev);
    benchmark::DoNotOptimize(w->g.score);
    // Keep the field full: start over before balls fall out or blocks fly off.
    if (++steps == 30) {
      state.PauseTiming();
      w->g = start;
      steps = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_WorstCaseStep);

void BM_VerifyGolden(benchmark::State& state) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(QUADREL_GOLDEN_DIR))
    if (entry.path().extension() == ".rep") files.push_back(entry.path().string());
  if (files.empty()) {
    state.SkipWithError("no golden replays");
    return;
  }
  int64_t steps = 0;
  for (auto _ : state) {
    for (const std::string& f : files) {
      const ReplayCheck check = CheckReplay(f);
      if (check.outcome != ReplayCheck::Outcome::Ok) state.SkipWithError("golden replay failed");
      steps += check.steps;
    }
  }
  state.counters["steps_per_second"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VerifyGolden)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
