// Drawing through OpenGL on a private display, checked by reading the picture back.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "GlFixture.hpp"
#include "platform/render/D3DMath.hpp"
#include "platform/render/DeviceState.hpp"

namespace quadrel::testing {
namespace {

using namespace quadrel::render;
using sample::XMaterial;
using sample::XModel;

// A gradient background: red = x / 640 * 255, green = y / 480 * 255, blue 200.
void GradientBackground(GlGraphics& g) {
  ASSERT_TRUE(sample::WriteDds("texture/gradient.dds", 640, 480,
                               sample::MakePixels(640, 480,
                                                  [](int x, int y) -> uint32_t {
                                                    return 0xFF000000u | uint32_t(x * 255 / 639) << 16 |
                                                           uint32_t(y * 255 / 479) << 8 | 200u;
                                                  }),
                               PixelFormat::Bgrx8));
  ASSERT_EQ(g.LoadBackground("./texture/gradient.dds", 640, 480), kOk);
}

class FadeQuadTest : public GlTest {};

TEST_F(FadeQuadTest, ZeroLeavesThePictureFullBlackensHalfScalesBy127Of255) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  GradientBackground(*g_);
  for (uint32_t alpha : {0x00u, 0x80u, 0xFFu}) {
    ASSERT_EQ(g_->BeginFrame(), kOk);
    g_->DrawBackground();
    g_->ApplyCamera();
    g_->FadeQuad(alpha << 24);
    g_->EndFrame();
    Read();
    for (int y = 0; y < 480; y += 37)
      for (int x = 0; x < 640; x += 41) {
        const int r = x * 255 / 639, gr = y * 255 / 479, b = 200;
        const Rgb p = Pixel(x, y);
        if (alpha == 0x00) {
          ASSERT_EQ(p.r, r) << x << "," << y;
          ASSERT_EQ(p.g, gr);
          ASSERT_EQ(p.b, b);
        } else if (alpha == 0xFF) {
          ASSERT_EQ(p.r + p.g + p.b, 0) << x << "," << y;
        } else {
          ASSERT_NEAR(p.r, r * 127 / 255.0, 1.0) << x << "," << y;
          ASSERT_NEAR(p.g, gr * 127 / 255.0, 1.0);
          ASSERT_NEAR(p.b, b * 127 / 255.0, 1.0);
        }
      }
  }
}

TEST_F(FadeQuadTest, AfterwardsDepthTestOnBlendingAndLightingOff) {
  StartDevice();
  LoadSceneStates(Vec3{0, 0, -10}, Vec3{0, 0, 0});
  g_->SetRenderState(rs::AlphaBlendEnable, 1);
  g_->SetRenderState(rs::Lighting, 1);
  g_->SetRenderState(rs::ZEnable, 0);
  // Unlit, a model shows its texture: red in front, half-transparent blue behind.
  ASSERT_TRUE(sample::WriteDds("texture/red.dds", 4, 4,
                               sample::MakePixels(4, 4, [](int, int) { return 0xFFFF0000u; }),
                               PixelFormat::Bgra8));
  ASSERT_TRUE(sample::WriteDds("texture/blue.dds", 4, 4,
                               sample::MakePixels(4, 4, [](int, int) { return 0x800000FFu; }),
                               PixelFormat::Bgra8));
  XModel near, far;
  near.materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\red.dds"}};
  far.materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\blue.dds"}};
  sample::AddPanel(near, Vec3{0, 0, 0}, 2, 2, 0);
  sample::AddPanel(far, Vec3{0, 0, 5}, 4, 4, 0);
  Mesh* a = MakeMesh("near", near);
  Mesh* b = MakeMesh("far", far);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  g_->ApplyCamera();
  g_->FadeQuad(0x40000000u);
  const DeviceState& s = g_->State();
  EXPECT_EQ(s.renderStates[rs::ZEnable], 1u);
  EXPECT_EQ(s.renderStates[rs::AlphaBlendEnable], 0u);
  EXPECT_EQ(s.renderStates[rs::Lighting], 0u);
  // Drawn with those states: the far panel, drawn second, stays behind the near
  // one, and its half-transparent blue is not blended over the black (blending
  // with the default factors would give 128).
  g_->SetRenderState(rs::FogEnable, 0);
  a->Draw(0);
  b->Draw(0);
  g_->EndFrame();
  Read();
  const Rgb centre = Pixel(320, 240);
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.b, 0);
  int x = 0, y = 0;
  Project(Vec3{3.6f, 3.6f, 5}, x, y);
  const Rgb side = Pixel(x, y);
  EXPECT_EQ(side.b, 255) << "unlit, unblended blue";
  EXPECT_EQ(side.r, 0);
}

class MeshDrawTest : public GlTest {};

TEST_F(MeshDrawTest, UnlitFloorShowsItsTexture) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -20}, Vec3{0, 0, 0});
  ASSERT_TRUE(sample::WriteDds("texture/green.dds", 8, 8,
                               sample::MakePixels(8, 8, [](int, int) { return 0xFF00FF00u; }),
                               PixelFormat::Bgra8));
  XModel floor;
  floor.materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\green.dds"}};
  sample::AddFloor(floor, Vec3{0, 0, 0}, 10, 10, 0);
  Mesh* m = MakeMesh("floor", floor);
  ASSERT_EQ(m->MaterialCount(), 1u);
  EXPECT_TRUE(m->SubsetTextured(0));
  ASSERT_EQ(g_->BeginFrame(), kOk);
  g_->ApplyCamera();
  g_->SetRenderState(rs::FogEnable, 0);
  g_->SetRenderState(rs::Lighting, 0);
  m->Draw(0);
  g_->EndFrame();
  Read();
  const Rgb p = Pixel(320, 240);
  EXPECT_EQ(p.r, 0);
  EXPECT_EQ(p.g, 255);
  EXPECT_EQ(p.b, 0);
}

TEST_F(MeshDrawTest, TexturedAndUntexturedSubsetsKeepTheirOwnLook) {
  StartDevice();
  LoadSceneStates(Vec3{0, 0, -10}, Vec3{0, 0, 0});
  // Texture: top half green, bottom half blue; (0, 0) is the top-left texel.
  ASSERT_TRUE(sample::WriteDds("texture/two.dds", 8, 8,
                               sample::MakePixels(8, 8,
                                                  [](int, int y) {
                                                    return y < 4 ? 0xFF00FF00u : 0xFF0000FFu;
                                                  }),
                               PixelFormat::Bgrx8));
  XModel m;
  m.materials = {XMaterial{0.5f, 0.5f, 0.5f, 1, 0, {0, 0, 0}, {0, 0, 0}, ""},
                 XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\two.dds"}};
  sample::AddPanel(m, Vec3{-2, 0, 0}, 2, 2, 0);
  sample::AddPanel(m, Vec3{2, 0, 0}, 2, 2, 1);
  Mesh* mesh = MakeMesh("two", m);
  ASSERT_EQ(mesh->MaterialCount(), 2u);
  EXPECT_FALSE(mesh->SubsetTextured(0));
  EXPECT_TRUE(mesh->SubsetTextured(1));
  // Ambient is replaced by diffuse.
  EXPECT_FLOAT_EQ(mesh->MaterialAt(0).ambient.r, 0.5f);
  EXPECT_FLOAT_EQ(mesh->MaterialAt(0).ambient.a, 1.0f);

  ASSERT_EQ(g_->BeginFrame(), kOk);
  g_->ApplyCamera();
  g_->SetRenderState(rs::FogEnable, 0);
  mesh->Draw(0);
  g_->EndFrame();
  Read();
  int x = 0, y = 0;
  // Lit untextured: diffuse 0.5 x (N.L = 1/sqrt 3) + ambient 0.5 x 0.2 = 0.3887.
  Project(Vec3{-2, 0, 0}, x, y);
  const Rgb grey = Pixel(x, y);
  EXPECT_NEAR(grey.r, 0.3887 * 255, 2);
  EXPECT_EQ(grey.r, grey.g);
  EXPECT_EQ(grey.r, grey.b);
  // Lit textured: the texture times the same light (white material: 0.7774).
  Project(Vec3{2, 1, 0}, x, y);
  const Rgb top = Pixel(x, y);
  EXPECT_EQ(top.r, 0);
  EXPECT_NEAR(top.g, 0.7774 * 255, 2);
  EXPECT_EQ(top.b, 0);
  Project(Vec3{2, -1, 0}, x, y);
  const Rgb bottom = Pixel(x, y);
  EXPECT_EQ(bottom.g, 0);
  EXPECT_NEAR(bottom.b, 0.7774 * 255, 2);
}

TEST_F(MeshDrawTest, OnlyASpecularColourAddsAHighlight) {
  StartDevice();
  LoadSceneStates(Vec3{0, 0, -10}, Vec3{0, 0, 0});
  XModel m;
  m.materials = {XMaterial{0.5f, 0.5f, 0.5f, 1, 1, {1, 1, 1}, {0, 0, 0}, ""},
                 XMaterial{0.5f, 0.5f, 0.5f, 1, 1, {0, 0, 0}, {0, 0, 0}, ""}};
  sample::AddPanel(m, Vec3{-2, 0, 0}, 2, 2, 0);
  sample::AddPanel(m, Vec3{2, 0, 0}, 2, 2, 1);
  Mesh* mesh = MakeMesh("shiny", m);
  auto draw = [&](uint32_t specularEnable, Rgb& shiny, Rgb& matte) {
    ASSERT_EQ(g_->BeginFrame(), kOk);
    g_->ApplyCamera();
    g_->SetRenderState(rs::FogEnable, 0);
    g_->SetRenderState(rs::SpecularEnable, specularEnable);
    mesh->Draw(0);
    g_->EndFrame();
    Read();
    int x = 0, y = 0;
    Project(Vec3{-2, 0, 0}, x, y);
    shiny = Pixel(x, y);
    Project(Vec3{2, 0, 0}, x, y);
    matte = Pixel(x, y);
  };
  Rgb shinyOn, matteOn, shinyOff, matteOff;
  draw(1, shinyOn, matteOn);
  draw(0, shinyOff, matteOff);
  // Diffuse 0.5 x (N.L = 1/sqrt 3) + ambient 0.5 x 0.2, as without the highlight.
  EXPECT_NEAR(matteOn.r, 0.3887 * 255, 2);
  EXPECT_EQ(matteOn.r, matteOff.r);
  EXPECT_EQ(shinyOff.r, matteOff.r);
  EXPECT_GT(shinyOn.r, matteOn.r + 20) << "the white specular colour lights the shiny panel";
  EXPECT_EQ(shinyOn.r, shinyOn.b);
}

TEST_F(MeshDrawTest, ASecondLoadReleasesTheFirstModel) {
  StartDevice();
  ASSERT_TRUE(sample::WriteDds("texture/t.dds", 4, 4,
                               sample::MakePixels(4, 4, [](int, int) { return 0xFFFFFFFFu; }),
                               PixelFormat::Bgra8));
  XModel textured, plain;
  textured.materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\t.dds"},
                        XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture/t.dds"}};
  sample::AddBox(textured, Vec3{0, 0, 0}, Vec3{1, 1, 1}, 0);
  sample::AddPanel(textured, Vec3{0, 0, -2}, 1, 1, 1);
  plain.materials = {XMaterial{1, 0, 0, 1, 0, {0, 0, 0}, {0, 0, 0}, ""}};
  sample::AddBox(plain, Vec3{0, 0, 0}, Vec3{1, 1, 1}, 0);
  ASSERT_TRUE(sample::WriteX("model/textured.x", textured));
  ASSERT_TRUE(sample::WriteX("model/plain.x", plain));
  Mesh* m = nullptr;
  ASSERT_EQ(g_->CreateMeshObject(m), kOk);
  ASSERT_EQ(m->Load("./model/textured.x"), kOk);
  EXPECT_EQ(m->MaterialCount(), 2u);
  EXPECT_EQ(g_->LiveMeshTextures(), 2);
  ASSERT_EQ(m->Load("./model/textured.x"), kOk);
  EXPECT_EQ(g_->LiveMeshTextures(), 2);  // not 4
  ASSERT_EQ(m->Load("./model/plain.x"), kOk);
  EXPECT_EQ(m->MaterialCount(), 1u);
  EXPECT_EQ(g_->LiveMeshTextures(), 0);
  EXPECT_NE(m->Load("./model/missing.x"), kOk);
  EXPECT_EQ(m->MaterialCount(), 0u);
  g_->DestroyAllMeshes();
  EXPECT_EQ(g_->MeshCount(), 0);
}

TEST_F(MeshDrawTest, ModeChangeEmptiesBothRegistriesAndSwitchesTheWindow) {
  StartDevice();
  ASSERT_TRUE(sample::WriteSampleSet("."));
  Mesh* m = nullptr;
  Font* f = nullptr;
  g_->CreateMeshObject(m);
  ASSERT_EQ(m->Load("./model/block.x"), kOk);
  g_->CreateFontObject(f);
  ASSERT_EQ(f->Create("Times New Roman", 20, 700, 0), kOk);
  ASSERT_EQ(g_->LoadBackground("./texture/back.dds", 640, 480), kOk);
  g_->ChangeDisplayMode(1, 640, 480);
  EXPECT_EQ(g_->MeshCount(), 0);
  EXPECT_EQ(g_->FontCount(), 0);
  EXPECT_EQ(g_->LiveMeshTextures(), 0);
  EXPECT_EQ(g_->DrawBackground(), kFail);  // released too
  g_->ChangeDisplayMode(0, 640, 480);
  int w = 0, h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  // Frames go on after the switch.
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  ASSERT_EQ(g_->BeginFrame(), kOk);
  EXPECT_EQ(g_->EndFrame(), kOk);
}

class ShadowTest : public GlTest {};

TEST_F(ShadowTest, OverlappingShadowsDarkenTheOverlapOnlyOnce) {
  StartDevice();
  LoadSceneStates(Vec3{0, 80, -20}, Vec3{0, 0, 0});
  g_->SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0},
                          ColourValue{0.6f, 0.6f, 0.6f, 0.5f});
  XModel floor, box;
  floor.materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, ""}};
  sample::AddFloor(floor, Vec3{0, 0, 0}, 40, 40, 0);
  box.materials = {XMaterial{1, 0, 0, 1, 0, {0, 0, 0}, {0, 0, 0}, ""}};
  sample::AddBox(box, Vec3{0, 0, 0}, Vec3{4, 4, 4}, 0);
  Mesh* ground = MakeMesh("ground", floor);
  Mesh* block = MakeMesh("box", box);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  g_->ApplyCamera();
  g_->SetRenderState(rs::FogEnable, 0);
  g_->SetRenderState(rs::Lighting, 0);
  ground->Draw(0);  // white
  g_->SetRenderState(rs::Lighting, 1);
  block->SetPosition(-3, 10, 0);
  block->Draw(1);
  block->SetPosition(3, 10, 0);
  block->Draw(1);
  g_->EndFrame();
  Read();
  // Shadows fall y - 0.1 units towards +z: around z = 10 here.
  int x = 0, y = 0;
  Project(Vec3{-30, 0, 10}, x, y);
  const Rgb none = Pixel(x, y);
  Project(Vec3{-5.5f, 0, 10}, x, y);
  const Rgb single = Pixel(x, y);
  Project(Vec3{0, 0, 10}, x, y);
  const Rgb overlap = Pixel(x, y);
  EXPECT_EQ(none.r, 255);
  EXPECT_NEAR(single.r, 127.5, 1.0);  // black at alpha 0.5 over white
  EXPECT_EQ(overlap.r, single.r);     // not 64: the stencil lets each pixel darken once
  EXPECT_EQ(overlap.g, single.g);
}

class PresentTest : public GlTest {};

TEST_F(PresentTest, TheGammaRampIsAppliedOnTheWayToTheWindow) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  SolidBackground(0xFFFF8000u);  // 255, 128, 0
  g_->CaptureWindow(true);
  struct Case {
    int level;
    int r, g, b;
  } cases[] = {
      // level 255: entry i = 255 (i + 2), shown as entry / 65535 of full scale.
      {255, 255, int(255.0 * 255 * 130 / 65535 + 0.5), int(255.0 * 510 / 65535 + 0.5)},
      // level 0: every entry 255, almost black; 256 behaves like 0.
      {0, 1, 1, 1},
      {256, 1, 1, 1},
  };
  for (const Case& c : cases) {
    g_->SetGammaLevel(c.level);
    ASSERT_EQ(g_->BeginFrame(), kOk);
    g_->DrawBackground();
    g_->EndFrame();
    int w = 0, h = 0;
    const std::vector<uint8_t>& shown = g_->LastWindow(w, h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    const uint8_t* p = &shown[(size_t(240) * w + 320) * 4];
    EXPECT_NEAR(p[0], c.r, 1) << c.level;
    EXPECT_NEAR(p[1], c.g, 1) << c.level;
    EXPECT_NEAR(p[2], c.b, 1) << c.level;
    // The picture itself is untouched.
    Read();
    EXPECT_EQ(Pixel(320, 240).g, 128);
  }
}

TEST_F(PresentTest, BackgroundPicturesOfEveryLayoutShowTheirColour) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  for (PixelFormat f : {PixelFormat::Bgra8, PixelFormat::Bgrx8, PixelFormat::Rgb565,
                        PixelFormat::Dxt1}) {
    ASSERT_TRUE(sample::WriteDds("texture/b.dds", 64, 64,
                                 sample::MakePixels(64, 64, [](int, int) { return 0xFFFF0000u; }),
                                 f));
    ASSERT_EQ(g_->LoadBackground("./texture/b.dds", 640, 480), kOk) << int(f);
    ASSERT_EQ(g_->BeginFrame(), kOk);
    g_->DrawBackground();
    g_->EndFrame();
    Read();
    const Rgb p = Pixel(100, 400);
    EXPECT_EQ(p.r, 255) << int(f);  // red stays red: no channel swapped
    EXPECT_EQ(p.g, 0) << int(f);
    EXPECT_EQ(p.b, 0) << int(f);
  }
  EXPECT_EQ(g_->LoadBackground("./texture/none.dds", 640, 480), kFail);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  EXPECT_EQ(g_->DrawBackground(), kFail);  // the cleared colour shows
  g_->EndFrame();
  Read();
  EXPECT_EQ(Pixel(100, 400).r, 0);
}

class FogTest : public GlTest {};

TEST_F(FogTest, LinearVertexFogOnViewDepth) {
  StartDevice();
  LoadSceneStates(Vec3{0, 0, 0}, Vec3{0, 0, 1});
  XModel near, mid, far;
  for (XModel* m : {&near, &mid, &far})
    m->materials = {XMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, ""}};
  sample::AddPanel(near, Vec3{-30, 0, 90}, 10, 10, 0);  // before the fog starts
  sample::AddPanel(mid, Vec3{0, 0, 140}, 10, 10, 0);    // half way from 100 to 180
  sample::AddPanel(far, Vec3{60, 0, 200}, 10, 10, 0);   // beyond its end
  Mesh* a = MakeMesh("near", near);
  Mesh* b = MakeMesh("mid", mid);
  Mesh* c = MakeMesh("far", far);
  g_->SetClearColour(0xFF0000FFu);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  g_->ApplyCamera();
  g_->SetRenderState(rs::Lighting, 0);
  a->Draw(0);
  b->Draw(0);
  c->Draw(0);
  g_->EndFrame();
  Read();
  int x = 0, y = 0;
  Project(Vec3{-30, 0, 90}, x, y);
  EXPECT_EQ(Pixel(x, y).r, 255);
  Project(Vec3{0, 0, 140}, x, y);
  EXPECT_NEAR(Pixel(x, y).r, 127.5, 1.5);
  Project(Vec3{60, 0, 200}, x, y);
  EXPECT_EQ(Pixel(x, y).r, 0);  // fog colour black, over the blue clear
  EXPECT_EQ(Pixel(x, y).b, 0);
}

class TextTest : public GlTest {};

struct InkBounds {
  int left = 10000, right = -1, top = 10000, bottom = -1;
};

InkBounds Ink(const std::vector<uint8_t>& picture, int threshold = 128) {
  InkBounds b;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (picture[(size_t(y) * 640 + x) * 4] >= threshold) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

TEST_F(TextTest, CentredTextIsCentredOnX320AtEveryHeight) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  for (int height : {20, 32, 48, 72}) {
    Font* f = nullptr;
    g_->CreateFontObject(f);
    ASSERT_EQ(f->Create("Times New Roman", height, 700, 0), kOk);
    for (const char* text : {"HOH", "[ Game Start ]", "x 9"}) {
      ASSERT_EQ(g_->BeginFrame(), kOk);
      f->DrawText(text, 320, 200, kTextCenter, 0xFFFFFFFFu);
      g_->EndFrame();
      Read();
      const InkBounds b = Ink(picture_);
      ASSERT_GE(b.right, 0) << "no ink for " << text;
      EXPECT_NEAR((b.left + b.right + 1) / 2.0, 320.0, 2.0 + height / 24.0)
          << text << " at " << height;
      EXPECT_GE(b.top, 200);
      EXPECT_LT(b.bottom, 200 + height);
    }
  }
}

TEST_F(TextTest, AlignmentsShadowsAndVerticalCentring) {
  StartDevice();
  LoadSceneStates(Vec3{0, 20, -70}, Vec3{0, 25, 0});
  Font* f = nullptr;
  g_->CreateFontObject(f);
  ASSERT_EQ(f->Create("Times New Roman", 32, 700, 0), kOk);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  f->DrawText("LEFT", 10, 20, kTextLeft, 0xFFFFFFFFu);
  g_->EndFrame();
  Read();
  InkBounds b = Ink(picture_);
  EXPECT_NEAR(b.left, 10, 3);
  ASSERT_EQ(g_->BeginFrame(), kOk);
  f->DrawText("RIGHT", 630, 20, kTextRight, 0xFFFFFFFFu);
  g_->EndFrame();
  Read();
  b = Ink(picture_);
  EXPECT_NEAR(b.right, 629, 3);
  // Centred both ways on (320, 260), as the title's buttons are.
  ASSERT_EQ(g_->BeginFrame(), kOk);
  f->DrawText("HH", 320, 260, kTextCenter | kTextVCenter, 0xFFFFFFFFu);
  g_->EndFrame();
  Read();
  b = Ink(picture_);
  EXPECT_NEAR((b.top + b.bottom) / 2.0, 260, 5);
  // The shadow comes first, moved by the offset, and the text lies on top.
  ASSERT_EQ(g_->BeginFrame(), kOk);
  f->DrawTextShadow("I", 320, 200, 3, kTextCenter, 0xFFFF0000u, 0xFF00FF00u);
  g_->EndFrame();
  Read();
  // Along one row of the stem: the green shadow's right edge is 3 pixels right
  // of the red text's, and where both are, red wins.
  int redLeft = 10000, redRight = -1, greenRight = -1;
  for (int x = 0; x < 640; ++x) {
    const Rgb p = Pixel(x, 215);
    if (p.r >= 128) {
      redLeft = std::min(redLeft, x);
      redRight = std::max(redRight, x);
    }
    if (p.g >= 128) greenRight = std::max(greenRight, x);
  }
  ASSERT_GE(redRight, 0);
  EXPECT_NEAR(greenRight, redRight + 3, 1);
  EXPECT_EQ(Pixel(redRight - 1, 215).r, 255);
  EXPECT_EQ(Pixel(redRight - 1, 215).g, 0);
}

}  // namespace
}  // namespace quadrel::testing
