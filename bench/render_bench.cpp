// A worst-case game-like frame on the OpenGL services at 640 x 480: background,
// unlit floor, two walls, 90 blocks, 10 items, 15 balls and 3 bars (two
// blended), everything but the floor with its planar shadow, the seven
// head-up texts and the FPS line; presented to the window. Runs on a private
// Xvfb display (Mesa llvmpipe when there is no GPU). Reports the median and
// 90th percentile frame time in milliseconds.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "SampleAssets.hpp"
#include "XvfbDisplay.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"

using namespace quadrel;
using namespace quadrel::render;

namespace {

struct Scene {
  Mesh* models[11] = {};  // ball, 5 block colours, bar, ground, wall, option, extend
  Font* small = nullptr;
  Font* big = nullptr;
};

void Load(GlGraphics& g, Scene& s) {
  const char* files[11] = {"./model/ball.x",   "./model/block.x", "./model/block.x",
                           "./model/block.x",  "./model/block.x", "./model/block.x",
                           "./model/bar.x",    "./model/ground.x", "./model/wall.x",
                           "./model/item.x",   "./model/item.x"};
  g.DestroyAllMeshes();
  for (int i = 0; i < 11; ++i) {
    g.CreateMeshObject(s.models[i]);
    s.models[i]->Load(files[i]);
  }
  g.ResetRenderStates();
  g.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  g.SetFog(1, 0xFF000000u, 100.0f, 180.0f);
  g.SetGammaLevel(255);
  g.SetSamplerState(0, ss::AddressU, ss::AddressClamp);
  g.SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0},
                        ColourValue{0.3137255f, 0.3137255f, 0.3137255f, 0.5882353f});
  Camera& c = g.GetCamera();
  c.eye = Vec3{0, 20, -70};
  c.at = Vec3{0, 25, 0};
  c.up = Vec3{0, 1, 0};
  c.fovDegrees = 45;
  c.nearPlane = 1;
  c.farPlane = 300;
  g.DestroyAllFonts();
  g.CreateFontObject(s.small);
  g.CreateFontObject(s.big);
  s.small->Create("Times New Roman", 20, 700, 0);
  s.big->Create("Times New Roman", 32, 700, 0);
  g.LoadBackground("./texture/back.dds", 640, 480);
}

void DrawFrame(GlGraphics& g, Scene& s, int frame) {
  if (g.BeginFrame() < 0) return;
  g.DrawBackground();
  g.ApplyCamera();
  g.SetRenderState(rs::FogEnable, 0);
  g.SetRenderState(rs::Lighting, 0);
  g.SetRenderState(rs::StencilEnable, 0);
  Mesh* ground = s.models[7];
  ground->SetScale(30, 30, 30);
  ground->SetPosition(0, 0, 0);
  ground->Draw(0);
  g.SetRenderState(rs::Lighting, 1);
  g.SetRenderState(rs::FogEnable, 1);
  for (double x : {-24.5, 24.5}) {
    s.models[8]->SetPosition(x, 28.0, 0);
    s.models[8]->Draw(1);
  }
  for (int k = 0; k < 90; ++k) {
    Mesh* m = s.models[1 + k % 5];
    m->SetScale(1, 1, 1);
    m->SetRotation(0.5, -1.0, -1.0, (k * 7 + frame) % 360);
    m->SetPosition(-20.25 + (k % 10) * 4.5, 30.0 + (k / 10) * 2.6, 0);
    g.SetRenderState(rs::AlphaBlendEnable, 0);
    m->Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);
  for (int i = 0; i < 10; ++i) {
    Mesh* m = s.models[9 + i % 2];
    m->SetScale(1, 1, 1);
    m->SetRotation(-1, 0, 0, (i * 30 + frame * 3) % 360);
    m->SetPosition(-18 + i * 4.0, 10 + (i * 3) % 15, 0);
    m->Draw(1);
  }
  for (int i = 0; i < 15; ++i) {
    s.models[0]->SetScale(1, 1, 1);
    s.models[0]->SetPosition(-21 + i * 3.0, 5 + (i * 7 + frame) % 20, 0);
    s.models[0]->Draw(1);
  }
  for (int i = 0; i < 3; ++i) {
    g.SetRenderState(rs::AlphaBlendEnable, i == 0 ? 0 : 1);
    s.models[6]->SetScale(1, 1, 1);
    s.models[6]->SetPosition(-10 + i * 10.0, 2, 0);
    s.models[6]->Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%08d", 1234560 + frame);
  s.big->DrawTextShadow(buffer, 0, 0, 3, kTextLeft, 0xFF0096FFu, 0xFF323232u);
  s.small->DrawText("LEVEL", 580, 0, kTextCenter, 0xFFFFFF00u);
  s.big->DrawTextShadow("5", 580, 20, 3, kTextCenter, 0xFF96FF64u, 0xFF323232u);
  s.small->DrawText("JUGGLING", 580, 60, kTextCenter, 0xFFFFFF00u);
  s.big->DrawTextShadow("x15", 580 + frame % 3 - 1, 80, 3, kTextCenter, 0xFFFF6432u, 0xFF323232u);
  s.small->DrawText("BALL REST", 580, 120, kTextCenter, 0xFFFFFF00u);
  s.big->DrawTextShadow(" 3", 580, 140, 3, kTextCenter, 0xFFFFFFFFu, 0xFF323232u);
  s.small->DrawText("FPS:60.00", 0, 460, kTextLeft, 0xFFFFFF00u);
  g.EndFrame();
}

void BM_GameFrame(benchmark::State& state) {
  testing::XvfbDisplay display(640, 480);
  if (!display.Ok()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  sample::TempDir dir;
  sample::WriteSampleSet(dir.Path());
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_Window* window = CreateGameWindow(false);
  {
    GlGraphics g(window);
    g.SetSwapInterval(0);
    if (g.InitDirect3D(0) < 0) {
      state.SkipWithError("no OpenGL 3.3 device");
    } else {
      Scene s;
      Load(g, s);
      for (int i = 0; i < 30; ++i) DrawFrame(g, s, i);  // warm up
      glFinish();
      std::vector<double> ms;
      int frame = 0;
      for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        DrawFrame(g, s, frame++);
        glFinish();
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(d.count());
        ms.push_back(d.count() * 1000.0);
      }
      std::sort(ms.begin(), ms.end());
      state.counters["median_ms"] = ms[ms.size() / 2];
      state.counters["p90_ms"] = ms[ms.size() * 9 / 10];
      state.counters["draw_calls"] = g.DrawCalls();
      state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
      g.DestroyAllMeshes();
      g.DestroyAllFonts();
      g.ShutdownDirect3D();
    }
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  std::filesystem::current_path(home);
}
BENCHMARK(BM_GameFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
