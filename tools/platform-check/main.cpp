// quadrel-platform-check OUT.png
//
// Draws one frame with every rendering feature and saves it as a PNG: the
// background picture, a textured floor, models with their planar shadows,
// fog on a row of blocks running into the distance, the four font heights
// (20, 32, 48, 72) in the three alignments with drop shadows, and fade quads
// of alpha 0x00, 0x80 and 0xFF over the bottom band. Run it from the runtime
// folder: when the game's models and background are there it draws those,
// otherwise it writes small stand-ins into a temporary folder.
#include <SDL.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "SampleAssets.hpp"
#include "files/SafeFile.hpp"
#include "platform/render/D3DMath.hpp"
#include "platform/render/DeviceState.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"

using namespace quadrel;
using namespace quadrel::render;

namespace {

struct ModelFiles {
  std::string ball, block, bar, ground, wall, item, background;
};

bool Exists(const std::string& p) { return std::filesystem::exists(p); }

ModelFiles RuntimeModels() {
  return {"./model/ball.x", "./model/block_r.x", "./model/bar.x",      "./model/ground.x",
          "./model/wall.x", "./model/extend.x",  "./texture/back.dds"};
}

ModelFiles SampleModels() {
  return {"./model/ball.x", "./model/block.x", "./model/bar.x",     "./model/ground.x",
          "./model/wall.x", "./model/item.x",  "./texture/back.dds"};
}

// The fade quad covers everything beyond one vertical and one horizontal edge
// (NDC): it is placed from the camera record, so moving eye and look-at
// together (without re-applying the camera) slides it across the picture.
void FadeOver(Graphics& g, float edgeX, bool rightSide, float edgeY, uint32_t colour) {
  Camera& c = g.GetCamera();
  const Camera saved = c;
  const float xs = c.projection.m[0][0], ys = c.projection.m[1][1];
  const float xc = rightSide ? 2.0f * edgeX / xs + 4.0f : 2.0f * edgeX / xs - 4.0f;
  const float yc = 2.0f * edgeY / ys - 3.0f;  // the band below edgeY
  Matrix billboard;
  g.GetBillboardMatrix(billboard);
  const Vec3 right{billboard.m[0][0], billboard.m[0][1], billboard.m[0][2]};
  const Vec3 up{billboard.m[1][0], billboard.m[1][1], billboard.m[1][2]};
  const Vec3 offset = Vec3Add(Vec3Scale(right, xc), Vec3Scale(up, yc));
  c.eye = Vec3Add(c.eye, offset);
  c.at = Vec3Add(c.at, offset);
  g.FadeQuad(colour);
  c = saved;
}

void LoadDeviceStates(Graphics& g) {
  g.ResetRenderStates();
  g.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  g.SetFog(1, 0xFF000000u, 100.0f, 180.0f);
  g.SetGammaLevel(255);
  g.SetSamplerState(0, ss::AddressU, ss::AddressClamp);
  g.SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0},
                        ColourValue{80 / 255.0f, 80 / 255.0f, 80 / 255.0f, 150 / 255.0f});
  Camera& camera = g.GetCamera();
  camera.eye = Vec3{0, 20, -70};
  camera.at = Vec3{0, 25, 0};
  camera.up = Vec3{0, 1, 0};
  camera.fovDegrees = 45.0f;
  camera.nearPlane = 1.0f;
  camera.farPlane = 300.0f;
  g.SetClearColour(0xFF000096u);
}

int Run(const std::string& out) {
  const bool runtime = Exists("./model/ball.x") && Exists("./model/block_r.x") &&
                       Exists("./model/bar.x") && Exists("./model/ground.x") &&
                       Exists("./model/wall.x") && Exists("./model/extend.x") &&
                       Exists("./texture/back.dds");
  sample::TempDir temp;
  const std::filesystem::path home = std::filesystem::current_path();
  if (!runtime) {
    if (temp.Path().empty() || !sample::WriteSampleSet(temp.Path())) {
      std::fprintf(stderr, "cannot write the stand-in assets\n");
      return 1;
    }
    std::filesystem::current_path(temp.Path());
  }
  const ModelFiles files = runtime ? RuntimeModels() : SampleModels();

  SDL_Window* window = CreateGameWindow(false, true);
  if (!window) {
    std::fprintf(stderr, "window: %s\n", SDL_GetError());
    return 1;
  }
  int result = 0;
  {
    GlGraphics g(window);
    g.SetSwapInterval(0);
    if (g.InitDirect3D(0) < 0) {
      SDL_DestroyWindow(window);
      return 1;
    }
    Mesh *ball = nullptr, *block = nullptr, *bar = nullptr, *ground = nullptr, *wall = nullptr,
         *item = nullptr;
    struct {
      Mesh** slot;
      const std::string* file;
    } meshes[] = {{&ball, &files.ball}, {&block, &files.block}, {&bar, &files.bar},
                  {&ground, &files.ground}, {&wall, &files.wall}, {&item, &files.item}};
    for (auto& m : meshes) {
      if (g.CreateMeshObject(*m.slot) < 0 || (*m.slot)->Load(m.file->c_str()) < 0) {
        std::fprintf(stderr, "cannot load %s\n", m.file->c_str());
        result = 1;
      }
    }
    LoadDeviceStates(g);
    Font* fonts[4] = {};
    const int heights[4] = {20, 32, 48, 72};
    for (int i = 0; i < 4; ++i) {
      g.CreateFontObject(fonts[i]);
      if (fonts[i]->Create("Times New Roman", heights[i], 700, 0) < 0) {
        std::fprintf(stderr, "no font of height %d\n", heights[i]);
        result = 1;
      }
    }
    if (g.LoadBackground(files.background.c_str(), 640, 480) < 0) {
      std::fprintf(stderr, "cannot load %s\n", files.background.c_str());
      result = 1;
    }

    if (g.BeginFrame() >= 0) {
      g.DrawBackground();
      g.ApplyCamera();
      // Floor: unlit, no fog, no stencil.
      g.SetRenderState(rs::FogEnable, 0);
      g.SetRenderState(rs::Lighting, 0);
      g.SetRenderState(rs::StencilEnable, 0);
      ground->SetScale(30, 30, 30);
      ground->SetPosition(0, 0, 0);
      ground->Draw(0);
      g.SetRenderState(rs::Lighting, 1);
      g.SetRenderState(rs::FogEnable, 1);
      for (double x : {-24.5, 24.5}) {
        wall->SetPosition(x, 28.0, 0);
        wall->Draw(1);
      }
      // Models with shadows on the floor; the two blocks' shadows overlap and
      // darken the overlap only once.
      block->SetScale(1.5, 1.5, 1.5);
      block->SetRotation(0.5, -1.0, -1.0, 30.0);
      block->SetPosition(-12, 9, 12);
      block->Draw(1);
      block->SetRotation(0.5, -1.0, -1.0, 0.0);
      block->SetPosition(-7, 10, 12);
      block->Draw(1);
      ball->SetScale(2.0, 2.0, 2.0);
      ball->SetPosition(6, 7, 10);
      ball->Draw(1);
      item->SetRotation(-1, 0, 0, 45.0);
      item->SetPosition(15, 9, 12);
      item->Draw(1);
      bar->SetScale(1, 1, 1);
      bar->SetPosition(0, 3, 8);
      bar->Draw(1);
      // Fog: blocks from near to far, fading to black beyond 100 units of depth.
      block->SetScale(1, 1, 1);
      block->SetRotation(0.5, -1.0, -1.0, 0.0);
      for (int k = 0; k < 7; ++k) {
        block->SetPosition(-14 + k * 1.0, 30 + k * 2.0, 0.0 + k * 22.0);
        block->Draw(0);
      }
      // Text: the four heights in the three alignments, shadows first.
      const int rows[4] = {40, 66, 104, 158};
      for (int i = 0; i < 4; ++i) {
        char centre[32], left[16], right[16];
        std::snprintf(centre, sizeof centre, "Centre %d", heights[i]);
        std::snprintf(left, sizeof left, "L%d", heights[i]);
        std::snprintf(right, sizeof right, "R%d", heights[i]);
        fonts[i]->DrawTextShadow(left, 8, rows[i], 3, kTextLeft, 0xFFFFFF00u, 0xFF323232u);
        fonts[i]->DrawTextShadow(centre, 320, rows[i], 3, kTextCenter, 0xFF0096FFu, 0xFF323232u);
        fonts[i]->DrawTextShadow(right, 632, rows[i], 3, kTextRight, 0xFF96FF64u, 0xFF323232u);
      }
      // Fades over the bottom band: left third 0x00, middle 0x80, right 0xFF.
      const float third = 1.0f / 3.0f, band = -0.8f;
      FadeOver(g, -third, false, band, 0x00000000u);
      FadeOver(g, -third, true, band, 0x80000000u);
      FadeOver(g, third, true, band, 0xFF000000u);
      fonts[0]->DrawText("fade 0x00", 106, 440, kTextCenter, 0xFFFFFFFFu);
      fonts[0]->DrawText("fade 0x80", 320, 440, kTextCenter, 0xFFFFFFFFu);
      fonts[0]->DrawText("fade 0xFF", 533, 440, kTextCenter, 0xFFFFFFFFu);
      g.EndFrame();
    }
    std::vector<uint8_t> pixels = g.ReadPicture();
    std::printf("%s assets, %d draw calls\n", runtime ? "runtime" : "stand-in", g.DrawCalls());
    std::filesystem::current_path(home);
    if (!stbi_write_png(out.c_str(), kPictureWidth, kPictureHeight, 4, pixels.data(),
                        kPictureWidth * 4)) {
      std::fprintf(stderr, "cannot write %s\n", out.c_str());
      result = 1;
    }
    g.DestroyAllMeshes();
    g.DestroyAllFonts();
    g.ShutdownDirect3D();
  }
  SDL_DestroyWindow(window);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  quadrel::files::IgnoreFileSizeSignal();
  if (argc != 2) {
    std::fprintf(stderr, "usage: quadrel-platform-check OUT.png\n");
    return 2;
  }
  const std::string out = std::filesystem::absolute(argv[1]).string();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return 1;
  }
  const int r = Run(out);
  SDL_Quit();
  return r;
}
