#include "GlFixture.hpp"

#include <SDL.h>

#include <filesystem>
#include <cstdlib>
#include <stb_image_write.h>

#include "XvfbDisplay.hpp"
#include "platform/render/D3DMath.hpp"
#include "platform/render/GameWindow.hpp"

namespace quadrel::testing {

using namespace quadrel::render;

namespace {
// One server for the whole program, stopped when the program exits.
XvfbDisplay& Display() {
  static XvfbDisplay display;
  return display;
}
}  // namespace

void GlTest::SetUp() {
  ASSERT_TRUE(Display().Ok()) << "Xvfb did not start";
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  window_ = CreateGameWindow(false, true);
  ASSERT_NE(window_, nullptr) << SDL_GetError();
  g_ = std::make_unique<GlGraphics>(window_);
  g_->SetSwapInterval(0);
  dir_ = std::make_unique<sample::TempDir>();
  home_ = std::filesystem::current_path().string();
  std::filesystem::current_path(dir_->Path());
}

void GlTest::TearDown() {
  std::filesystem::current_path(home_);
  g_.reset();
  dir_.reset();
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlTest::StartDevice() { ASSERT_EQ(g_->InitDirect3D(0), kOk); }

void GlTest::LoadSceneStates(Vec3 eye, Vec3 at) {
  g_->ResetRenderStates();
  g_->SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  g_->SetFog(1, 0xFF000000u, 100.0f, 180.0f);
  g_->SetGammaLevel(255);
  g_->SetSamplerState(0, ss::AddressU, ss::AddressClamp);
  g_->SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0},
                          ColourValue{0.6f, 0.6f, 0.6f, 1.0f});
  Camera& c = g_->GetCamera();
  c.eye = eye;
  c.at = at;
  c.up = Vec3{0, 1, 0};
  c.fovDegrees = 45.0f;
  c.nearPlane = 1.0f;
  c.farPlane = 300.0f;
  g_->SetClearColour(0xFF000000u);
}

Mesh* GlTest::MakeMesh(const std::string& name, const sample::XModel& m) {
  const std::string file = "model/" + name + ".x";
  EXPECT_TRUE(sample::WriteX(file, m));
  Mesh* mesh = nullptr;
  EXPECT_EQ(g_->CreateMeshObject(mesh), kOk);
  EXPECT_EQ(mesh->Load(("./" + file).c_str()), kOk) << file;
  return mesh;
}

void GlTest::SolidBackground(uint32_t argb) {
  ASSERT_TRUE(sample::WriteDds("texture/solid.dds", 64, 48,
                               sample::MakePixels(64, 48, [argb](int, int) { return argb; }),
                               PixelFormat::Bgrx8));
  ASSERT_EQ(g_->LoadBackground("./texture/solid.dds", 640, 480), kOk);
}

Rgb GlTest::Pixel(int x, int y) {
  const uint8_t* p = &picture_.at((size_t(y) * kPictureWidth + x) * 4);
  return Rgb{p[0], p[1], p[2]};
}

void GlTest::Project(Vec3 world, int& x, int& y) {
  const Camera& c = g_->GetCamera();
  const Vec3 ndc = Vec3TransformCoord(world, MatrixMultiply(c.view, c.projection));
  x = static_cast<int>((ndc.x + 1.0f) * 0.5f * kPictureWidth);
  y = static_cast<int>((1.0f - ndc.y) * 0.5f * kPictureHeight);
}

}  // namespace quadrel::testing

namespace quadrel::testing {
void GlTest::Read() {
  picture_ = g_->ReadPicture();
  // QUADREL_TEST_PICTURES=DIR keeps every picture a test reads, for a person to look at.
  if (const char* dir = std::getenv("QUADREL_TEST_PICTURES")) {
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    static int n = 0;
    const std::string file = std::string(dir) + "/" + t->test_suite_name() + "." + t->name() +
                             "." + std::to_string(n++) + ".png";
    stbi_write_png(file.c_str(), render::kPictureWidth, render::kPictureHeight, 4, picture_.data(),
                   render::kPictureWidth * 4);
  }
}
}  // namespace quadrel::testing
