// Drawing through OpenGL on a private display, checked by reading the picture back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "GlFixture.hpp"
#include "platform/D3DMath.hpp"
#include "platform/DeviceState.hpp"

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

}  // namespace
}  // namespace quadrel::testing
