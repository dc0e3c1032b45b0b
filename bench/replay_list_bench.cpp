// Entering the replay list with 1,000 saved games in the folder: the scan of
// every file's header, the scene's load and its first drawn frame, on the
// headless platform so only the list's own work is measured. The files hold
// 2,000 input frames each (about half a minute of play). Reports medians in ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/render/HeadlessGraphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/ReplaySelectScene.hpp"

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kFramesPerFile = 2000;

struct NoInput : GameInputDevice {
  void ReadMouse(MouseState& m) override { m = MouseState{}; }
  void ReadKeyboard(KeyboardState& k) override { k = KeyboardState{}; }
};
struct NoWindow : SceneWindow {
  void ShowCursor(bool) override {}
};

// A folder of replays, made once and removed at exit.
struct ReplayFolder {
  fs::path path = fs::temp_directory_path() / ("quadrel-list-bench-" + std::to_string(::getpid()));
  ReplayFolder() {
    fs::create_directories(path);
    std::string bytes(kReplayHeaderArea + kInputFrameSize * kFramesPerFile, '\0');
    std::memcpy(bytes.data(), kReplaySignature, sizeof kReplaySignature);
    const int32_t version = kReplayVersion;
    std::memcpy(&bytes[48], &version, 4);
    for (int i = 0; i < kFiles; ++i) {
      const int32_t score = 1000 * (i + 1);
      std::memcpy(&bytes[20], &score, 4);
      std::memcpy(&bytes[24], "2005/05/11 13:04:05", 20);
      char name[64];
      std::snprintf(name, sizeof name, "%08d_20050511_1304%02d.rep", score, i % 60);
      std::ofstream(path / name, std::ios::binary)
          .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
  }
  ~ReplayFolder() { fs::remove_all(path); }
};

ReplayFolder& Folder() {
  static ReplayFolder folder;
  return folder;
}

void BM_EnterReplayListWith1000Files(benchmark::State& state) {
  const std::string folder = Folder().path.string();
  render::HeadlessGraphics graphics;
  graphics.InitDirect3D(0);
  NoInput input;
  platform::FakeClock clock;
  NoWindow window;
  SceneServices services{graphics, input, clock, window};
  ReplayStore store;
  AppContext ctx{};
  for (auto _ : state) {
    ReplaySelectScene scene(services, store, folder);
    scene.Initialise(ctx);
    scene.Update(ctx);
    scene.Draw(ctx);
    if (scene.List().size() != kFiles) state.SkipWithError("not every file was listed");
    benchmark::DoNotOptimize(scene.List().data());
  }
}
BENCHMARK(BM_EnterReplayListWith1000Files)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// For comparison: reading each file whole, as playback does.
void BM_ReadEvery1000FilesWhole(benchmark::State& state) {
  const std::string folder = Folder().path.string();
  ReplayStore store;
  store.ResetReplayStore();
  for (auto _ : state) {
    for (const auto& e : fs::directory_iterator(folder)) store.LoadReplayPath(e.path().string());
  }
}
BENCHMARK(BM_ReadEvery1000FilesWhole)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
