// The rendering services without a display: matrix functions, device-state
// rules, the headless call log, registries, start-up reports, picture and
// model files, font layout, letterboxing.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SampleAssets.hpp"
#include "base/Diagnostics.hpp"
#include "platform/render/D3DMath.hpp"
#include "platform/render/FontFace.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "platform/render/MeshData.hpp"
#include "platform/render/Picture.hpp"

namespace quadrel::render {
namespace {

void ExpectMatrix(const Matrix& m, const std::vector<float>& rows, float tolerance = 1e-5f) {
  ASSERT_EQ(rows.size(), 16u);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(m.m[r][c], rows[size_t(r * 4 + c)], tolerance) << "_" << r + 1 << c + 1;
}

// ------------------------------------------------------------ matrix functions

TEST(D3DMath, LookAtLHOfTheSceneCamera) {
  // eye (0, 20, -70), at (0, 25, 0): z = (0, 5, 70) / 70.178344, x = (1, 0, 0), y = z x x.
  const Matrix v = MatrixLookAtLH(Vec3{0, 20, -70}, Vec3{0, 25, 0}, Vec3{0, 1, 0});
  ExpectMatrix(v, {1, 0, 0, 0,                          //
                   0, 0.9974587f, 0.0712470f, 0,         //
                   0, -0.0712470f, 0.9974587f, 0,        //
                   0, -24.936464f, 68.397169f, 1});
  // The eye maps to the origin, the look-at point onto +z.
  const Vec3 eye = Vec3TransformCoord(Vec3{0, 20, -70}, v);
  EXPECT_NEAR(eye.x, 0, 1e-4);
  EXPECT_NEAR(eye.y, 0, 1e-4);
  EXPECT_NEAR(eye.z, 0, 1e-4);
  const Vec3 at = Vec3TransformCoord(Vec3{0, 25, 0}, v);
  EXPECT_NEAR(at.z, 70.178344f, 1e-3);
}

TEST(D3DMath, PerspectiveFovLHOfTheSceneCamera) {
  const Matrix p = MatrixPerspectiveFovLH(45.0f * 0.017453292f, 1.3333334f, 1.0f, 300.0f);
  // yScale = cot(22.5 degrees) = 2.4142137, xScale = yScale / (4/3).
  ExpectMatrix(p, {1.8106602f, 0, 0, 0,          //
                   0, 2.4142137f, 0, 0,          //
                   0, 0, 1.0033445f, 1,          //
                   0, 0, -1.0033445f, 0});
  // Near plane at depth 0, far plane at depth 1.
  EXPECT_NEAR(Vec3TransformCoord(Vec3{0, 0, 1}, p).z, 0.0f, 1e-6);
  EXPECT_NEAR(Vec3TransformCoord(Vec3{0, 0, 300}, p).z, 1.0f, 1e-6);
}

TEST(D3DMath, ShadowFlattensAlongADirectionalLight) {
  // light (0, 50, -50, 0), plane y = 0.1: (P.L) I - P L^T with P.L = 50.
  const Plane plane = PlaneFromPointNormal(Vec3{0, 0.1f, 0}, Vec3{0, 1, 0});
  const Matrix s = MatrixShadow(Vec4{0, 50, -50, 0}, plane);
  ExpectMatrix(s, {50, 0, 0, 0,   //
                   0, 0, 50, 0,   //
                   0, 0, 50, 0,   //
                   0, 5, -5, 50});
  // A point at height y moves y - 0.1 units towards +z onto the plane.
  const Vec4 h = Vec3Transform(Vec3{3, 10, 2}, s);
  EXPECT_GT(h.w, 0.0f);
  EXPECT_NEAR(h.x / h.w, 3.0f, 1e-5);
  EXPECT_NEAR(h.y / h.w, 0.1f, 1e-5);
  EXPECT_NEAR(h.z / h.w, 11.9f, 1e-5);
  // The plane is normalised first.
  const Matrix s2 = MatrixShadow(Vec4{0, 50, -50, 0}, Plane{0, 2, 0, -0.2f});
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(s2.m[r][c], s.m[r][c], 1e-4);
}

TEST(D3DMath, PlaneFromPointNormal) {
  const Plane a = PlaneFromPointNormal(Vec3{0, 0.1f, 0}, Vec3{0, 1, 0});
  EXPECT_FLOAT_EQ(a.a, 0);
  EXPECT_FLOAT_EQ(a.b, 1);
  EXPECT_FLOAT_EQ(a.c, 0);
  EXPECT_FLOAT_EQ(a.d, -0.1f);
  const Plane b = PlaneFromPointNormal(Vec3{1, 2, 3}, Vec3{0, 0, 2});  // not normalised
  EXPECT_FLOAT_EQ(b.c, 2);
  EXPECT_FLOAT_EQ(b.d, -6);
}

TEST(D3DMath, RotationAxisIsLeftHandedAndNormalisesTheAxis) {
  // 90 degrees about +y turns +x into -z.
  const Matrix r = MatrixRotationAxis(Vec3{0, 2, 0}, 1.5707964f);
  ExpectMatrix(r, {0, 0, -1, 0,  //
                   0, 1, 0, 0,   //
                   1, 0, 0, 0,   //
                   0, 0, 0, 1});
  // 120 degrees about (1, 1, 1) cycles the axes: x -> y -> z -> x.
  const Matrix c = MatrixRotationAxis(Vec3{1, 1, 1}, 2.0943952f);
  ExpectMatrix(c, {0, 1, 0, 0,  //
                   0, 0, 1, 0,  //
                   1, 0, 0, 0,  //
                   0, 0, 0, 1});
}

TEST(D3DMath, MeshWorldIsScaleThenRotationThenTranslation) {
  HeadlessGraphics g;
  Mesh* m = nullptr;
  ASSERT_EQ(g.CreateMeshObject(m), kOk);
  ASSERT_EQ(m->Load("./model/ball.x"), kOk);
  m->SetScale(2, 2, 2);
  m->SetRotation(0, 1, 0, 90);  // degrees x 3.1415926538 / 180
  m->SetPosition(1, 2, 3);
  m->Draw(0);
  const Vec3 p = Vec3TransformCoord(Vec3{1, 0, 0}, m->World());
  EXPECT_NEAR(p.x, 1.0f, 1e-5);
  EXPECT_NEAR(p.y, 2.0f, 1e-5);
  EXPECT_NEAR(p.z, 1.0f, 1e-5);
}

// ------------------------------------------------------------ device states

TEST(Gamma, RampForLevels255And0And256) {
  const GammaRamp full = ComputeGammaRamp(255);
  EXPECT_EQ(full[0], 510);
  EXPECT_EQ(full[1], 765);
  EXPECT_EQ(full[254], 65280);
  EXPECT_EQ(full[255], 65535);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(full[i], 255 * (i + 2)) << i;
  const GammaRamp zero = ComputeGammaRamp(0);
  for (uint16_t e : zero) EXPECT_EQ(e, 255);
  EXPECT_EQ(ComputeGammaRamp(256), zero);
  // Truncating remainder: -1 keeps its sign.
  EXPECT_EQ(ComputeGammaRamp(-1)[0], 254);

  HeadlessGraphics g;
  g.SetGammaLevel(255);
  EXPECT_EQ(g.State().gammaRamp, full);
}

TEST(DeviceStates, ResetRenderStatesSetsTheDefaults) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  g.ResetRenderStates();
  const auto& s = g.State().renderStates;
  EXPECT_EQ(s[rs::CullMode], rv::CullCcw);
  EXPECT_EQ(s[rs::ZEnable], 1u);
  EXPECT_EQ(s[rs::DitherEnable], 1u);
  EXPECT_EQ(s[rs::SpecularEnable], 1u);
  EXPECT_EQ(s[rs::AntialiasedLineEnable], 0u);
  EXPECT_EQ(s[rs::AlphaBlendEnable], 0u);
  EXPECT_EQ(s[rs::SrcBlend], rv::BlendSrcAlpha);
  EXPECT_EQ(s[rs::DestBlend], rv::BlendOne);
  EXPECT_EQ(s[rs::StencilFunc], rv::CmpNotEqual);
  EXPECT_EQ(s[rs::StencilFail], rv::StencilKeep);
  EXPECT_EQ(s[rs::StencilZFail], rv::StencilKeep);
  EXPECT_EQ(s[rs::StencilPass], rv::StencilReplace);
  EXPECT_EQ(s[rs::StencilRef], 1u);
  // Not part of the defaults: a new device has lighting on, fog and stencil off.
  EXPECT_EQ(s[rs::Lighting], 1u);
  EXPECT_EQ(s[rs::FogEnable], 0u);
  EXPECT_EQ(s[rs::StencilEnable], 0u);
}

TEST(DeviceStates, FadeQuadLeavesDepthOnBlendingOffLightingOff) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  g.SetRenderState(rs::AlphaBlendEnable, 1);
  g.SetRenderState(rs::ZEnable, 0);
  g.SetRenderState(rs::Lighting, 1);
  g.FadeQuad(0x80000000u);
  EXPECT_EQ(g.State().renderStates[rs::ZEnable], 1u);
  EXPECT_EQ(g.State().renderStates[rs::AlphaBlendEnable], 0u);
  EXPECT_EQ(g.State().renderStates[rs::Lighting], 0u);
  EXPECT_EQ(g.FadeQuadDraws(), 1);
}

TEST(DeviceStates, ShadowPassRestoresItsFiveStates) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  Mesh* m = nullptr;
  g.CreateMeshObject(m);
  g.SetMeshMaterialCount("./model/block_r.x", 2);
  ASSERT_EQ(m->Load("./model/block_r.x"), kOk);
  g.SetRenderState(rs::Lighting, 0);
  g.SetRenderState(rs::AlphaBlendEnable, 1);
  g.SetRenderState(rs::SrcBlend, rv::BlendSrcAlpha);
  g.SetRenderState(rs::DestBlend, rv::BlendOne);
  g.SetRenderState(rs::StencilEnable, 0);
  m->Draw(1);
  EXPECT_EQ(g.SubsetDraws(), 4);  // two subsets, then their shadows
  const auto& s = g.State().renderStates;
  EXPECT_EQ(s[rs::Lighting], 0u);
  EXPECT_EQ(s[rs::AlphaBlendEnable], 1u);
  EXPECT_EQ(s[rs::SrcBlend], rv::BlendSrcAlpha);
  EXPECT_EQ(s[rs::DestBlend], rv::BlendOne);
  EXPECT_EQ(s[rs::StencilEnable], 0u);
}

TEST(DeviceStates, LightFogShadowMaterialAndPresentation) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  g.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  const Light& l = g.State().light;
  EXPECT_EQ(l.type, kLightDirectional);
  EXPECT_NEAR(l.direction.x, 0.5773503f, 1e-6);
  EXPECT_NEAR(l.direction.y, -0.5773503f, 1e-6);
  EXPECT_NEAR(l.direction.z, 0.5773503f, 1e-6);
  EXPECT_FLOAT_EQ(l.specular.r, 0.8f);
  EXPECT_FLOAT_EQ(l.ambient.g, 0.2f);
  g.SetFog(1, 0xFF000000u, 100.0f, 180.0f);
  EXPECT_EQ(g.State().renderStates[rs::FogVertexMode], rv::FogLinear);
  EXPECT_FLOAT_EQ(g.State().RenderStateFloat(rs::FogEnd), 180.0f);
  g.SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0},
                        ColourValue{0.3137255f, 0.3137255f, 0.3137255f, 0.5882353f});
  const Material& sm = g.State().shadowMaterial;
  EXPECT_FLOAT_EQ(sm.diffuse.a, 0.5882353f);
  EXPECT_EQ(sm.diffuse.r, 0.0f);  // shadows are black; only the alpha is taken
  EXPECT_EQ(sm.ambient.r, 0.0f);

  EXPECT_EQ(g.BuildPresentParameters(1), kOk);
  EXPECT_EQ(g.State().present.backBufferWidth, 640u);
  EXPECT_EQ(g.State().present.backBufferHeight, 480u);
  EXPECT_EQ(g.State().present.windowed, 0);
  EXPECT_EQ(g.State().present.autoDepthStencilFormat, kFormatD24S8);
  EXPECT_EQ(FloatBits(g.State().aspectRatio), 0x3FAAAAABu);
  EXPECT_EQ(g.BuildPresentParameters(0), kOk);
  EXPECT_EQ(g.State().present.backBufferWidth, 0u);
  EXPECT_EQ(g.State().present.windowed, 1);
}

TEST(DeviceStates, BillboardIsTheTransposedViewRotation) {
  HeadlessGraphics g;
  Camera& c = g.GetCamera();
  c.eye = Vec3{30, 20, -60};
  c.at = Vec3{0, 25, 0};
  c.up = Vec3{0, 1, 0};
  c.fovDegrees = 45;
  c.nearPlane = 1;
  c.farPlane = 300;
  g.BuildPresentParameters(1);
  g.ApplyCamera();
  Matrix b;
  g.GetBillboardMatrix(b);
  // billboard x view rotation = identity.
  const Matrix r = MatrixMultiply(b, c.view);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.m[i][j], i == j ? 1.0f : 0.0f, 1e-5);
  EXPECT_EQ(b.m[3][0], 0.0f);
  EXPECT_EQ(b.m[3][3], 1.0f);
}

// ------------------------------------------------------------ headless record

TEST(HeadlessGraphics, RecordsTheDrawCallsOfAFrameInOrder) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  Mesh* floor = nullptr;
  Font* font = nullptr;
  g.CreateMeshObject(floor);
  floor->Load("./model/ground.x");
  g.CreateFontObject(font);
  font->Create("Times New Roman", 20, 700, 0);
  g.Log().Clear();

  ASSERT_EQ(g.BeginFrame(), kOk);
  g.DrawBackground();
  g.ApplyCamera();
  g.SetRenderState(rs::Lighting, 0);
  floor->SetScale(30, 30, 30);
  floor->SetPosition(0, 0, 0);
  floor->Draw(0);
  floor->SetRotation(0.5, -1.0, -1.0, 12.5);
  floor->SetPosition(-24.5, 28.0, 0);
  floor->Draw(1);
  font->DrawTextShadow("O o p s !", 320, 200, 3, kTextCenter, 0xFFFFFFFFu, 0xFF323232u);
  g.FadeQuad(254u << 24);
  font->DrawText("FPS:60.00", 0, 460, kTextLeft, 0xFFFFFF00u);
  g.EndFrame();

  const std::vector<std::string> expected = {
      "BeginFrame()",
      "DrawBackground()",
      "ApplyCamera()",
      "SetRenderState(137,0)",
      "Mesh#1.SetScale(30,30,30)",
      "Mesh#1.SetPosition(0,0,0)",
      "Mesh#1.Draw(0)",
      "Mesh#1.SetRotation(0.5,-1,-1,12.5)",
      "Mesh#1.SetPosition(-24.5,28,0)",
      "Mesh#1.Draw(1)",
      "Font#2.DrawTextShadow(\"O o p s !\",320,200,3,1,0xFFFFFFFF,0xFF323232)",
      "FadeQuad(0xFE000000)",
      "Font#2.DrawText(\"FPS:60.00\",0,460,0,0xFFFFFF00)",
      "EndFrame()",
  };
  EXPECT_EQ(g.Log().Lines(), expected);
  EXPECT_EQ(g.Frames(), 1);
}

TEST(HeadlessGraphics, SimulatesLostAndNotResetFrames) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  g.QueueBeginFrameResult(kDeviceLost);
  g.QueueBeginFrameResult(kDeviceNotReset);
  EXPECT_EQ(g.BeginFrame(), kDeviceLost);
  EXPECT_EQ(g.BeginFrame(), kDeviceNotReset);
  EXPECT_EQ(g.BeginFrame(), kOk);
  g.QueueEndFrameResult(kDeviceLost);
  EXPECT_EQ(g.EndFrame(), kDeviceLost);
  EXPECT_EQ(g.EndFrame(), kOk);
}

TEST(HeadlessGraphics, ConfigurableLoadFailures) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  g.SetMeshLoadResult("./model/wall.x", kFileNotFound);
  g.SetBackgroundResult("./texture/back.dds", kFail);
  Mesh* m = nullptr;
  g.CreateMeshObject(m);
  EXPECT_EQ(m->Load("./model/wall.x"), kFileNotFound);
  EXPECT_EQ(m->MaterialCount(), 0u);
  EXPECT_EQ(g.LoadBackground("./texture/back.dds", 640, 480), kFail);
  EXPECT_EQ(g.LoadBackground("./texture/title.dds", 640, 480), kOk);
  EXPECT_EQ(g.Background(), "./texture/title.dds");
}

// ------------------------------------------------------------ registries

TEST(Registries, DestroyAllEmptiesEachRegistryAndModeChangeEmptiesBoth) {
  HeadlessGraphics g;
  ASSERT_EQ(g.InitDirect3D(1), kOk);
  Mesh* meshes[3] = {};
  Font* fonts[2] = {};
  for (Mesh*& m : meshes) ASSERT_EQ(g.CreateMeshObject(m), kOk);
  for (Font*& f : fonts) ASSERT_EQ(g.CreateFontObject(f), kOk);
  EXPECT_EQ(g.MeshCount(), 3);
  EXPECT_EQ(g.FontCount(), 2);
  g.DestroyAllMeshes();
  EXPECT_EQ(g.MeshCount(), 0);
  EXPECT_EQ(g.FontCount(), 2);
  g.DestroyAllFonts();
  EXPECT_EQ(g.FontCount(), 0);

  for (Mesh*& m : meshes) g.CreateMeshObject(m);
  for (Font*& f : fonts) g.CreateFontObject(f);
  ASSERT_EQ(g.LoadBackground("./texture/back.dds", 640, 480), kOk);
  g.SetRenderState(rs::FogEnable, 1);
  g.ChangeDisplayMode(0, 640, 480);
  EXPECT_EQ(g.MeshCount(), 0);
  EXPECT_EQ(g.FontCount(), 0);
  EXPECT_EQ(g.Background(), "");
  EXPECT_EQ(g.FullScreen(), 0);
  // The reset forgets the device states; the scene loads them again.
  EXPECT_EQ(g.State().renderStates[rs::FogEnable], 0u);
}

// ------------------------------------------------------------ start-up reports

class RecordingSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    messages.push_back(caption + "|" + text);
  }
  void RequestQuit(int code) override { quitCode = code; }
  std::vector<std::string> messages;
  int quitCode = -1;
};

TEST(StartupReports, EachFailedCheckReportsItsTextAndQuitsWithOne) {
  const char* texts[4] = {kNoRuntimeText, kOldRuntimeText, kInitFailedText, kVertexBufferText};
  for (int step = 1; step <= 4; ++step) {
    RecordingSink sink;
    MessageSink* previous = SetMessageSink(&sink);
    HeadlessGraphics g;
    g.FailStartupStep(step);
    EXPECT_EQ(g.InitDirect3D(1), kFail);
    SetMessageSink(previous);
    ASSERT_EQ(sink.messages.size(), 2u) << step;
    EXPECT_EQ(sink.messages[0], std::string("Debug|") + texts[step - 1]);
    EXPECT_EQ(sink.messages[1], "Error|" + FatalReportText("Direct3D", ""));
    EXPECT_NE(sink.messages[1].find("graphics driver"), std::string::npos);
    EXPECT_EQ(sink.quitCode, 1);
  }
}

// ------------------------------------------------------------ files

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
  }
  void TearDown() override { std::filesystem::current_path(home_); }
  sample::TempDir dir_;
  std::filesystem::path home_;
};

TEST_F(FilesTest, DdsLayoutsReadBack) {
  const auto rgba = sample::MakePixels(8, 4, [](int x, int y) -> uint32_t {
    return 0x80000000u | uint32_t(x * 32) << 16 | uint32_t(y * 64) << 8 | 0x40u;
  });
  for (PixelFormat f : {PixelFormat::Bgra8, PixelFormat::Bgrx8, PixelFormat::Rgb565}) {
    ASSERT_TRUE(sample::WriteDds("p.dds", 8, 4, rgba, f));
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPicture("p.dds", p, &error)) << error;
    EXPECT_EQ(p.format, f);
    ASSERT_EQ(p.Width(), 8);
    ASSERT_EQ(p.Height(), 4);
    const std::vector<uint8_t> back = DecodeLevelRgba(p, 0);
    const int tolerance = f == PixelFormat::Rgb565 ? 8 : 0;
    for (size_t i = 0; i < back.size(); i += 4) {
      EXPECT_NEAR(back[i], rgba[i], tolerance);
      EXPECT_NEAR(back[i + 1], rgba[i + 1], tolerance);
      EXPECT_NEAR(back[i + 2], rgba[i + 2], tolerance);
      EXPECT_EQ(back[i + 3], f == PixelFormat::Bgra8 ? 0x80 : 0xFF);
    }
  }
}

TEST_F(FilesTest, DxtBlocksDecode) {
  const auto rgba = sample::MakePixels(8, 8, [](int x, int) -> uint32_t {
    return x < 4 ? 0xFFFF0000u : 0xFF0000FFu;
  });
  ASSERT_TRUE(sample::WriteDds("c.dds", 8, 8, rgba, PixelFormat::Dxt1));
  Picture p;
  ASSERT_TRUE(LoadPicture("c.dds", p));
  EXPECT_EQ(p.format, PixelFormat::Dxt1);
  EXPECT_TRUE(p.Compressed());
  EXPECT_EQ(p.levels[0].data.size(), 4u * 8u);
  const std::vector<uint8_t> back = DecodeLevelRgba(p, 0);
  EXPECT_EQ(back[0], 255);  // left block red
  EXPECT_EQ(back[2], 0);
  EXPECT_EQ(back[4 * 7 + 0], 0);  // right block blue
  EXPECT_EQ(back[4 * 7 + 2], 255);
}

TEST_F(FilesTest, DdsMipLevelsAndTruncation) {
  // A 4 x 4 A8R8G8B8 picture with three levels: 64 + 16 + 4 bytes of pixels.
  const auto one = sample::MakePixels(4, 4, [](int, int) { return 0xFF102030u; });
  std::vector<uint8_t> bytes = EncodeDds(4, 4, one, PixelFormat::Bgra8);
  bytes[8] |= 0x00;
  bytes[10] |= 0x02;  // flags: mipmap count present
  bytes[28] = 3;      // mipmap count
  for (int i = 0; i < 4 + 1; ++i) bytes.insert(bytes.end(), {0x30, 0x20, 0x10, 0xFF});
  Picture p;
  ASSERT_TRUE(ParseDds(bytes.data(), bytes.size(), p));
  ASSERT_EQ(p.levels.size(), 3u);
  EXPECT_EQ(p.levels[1].width, 2);
  EXPECT_EQ(p.levels[2].width, 1);
  Picture q;
  EXPECT_FALSE(ParseDds(bytes.data(), 100, q));
  std::string error;
  EXPECT_FALSE(LoadPicture("missing.dds", q, &error));
}

TEST_F(FilesTest, OtherPictureFormatsThroughStbImage) {
  const auto rgba = sample::MakePixels(3, 2, [](int x, int y) -> uint32_t {
    return 0xFF000000u | uint32_t(x * 100) << 16 | uint32_t(y * 200);
  });
  ASSERT_TRUE(stbi_write_png("p.png", 3, 2, 4, rgba.data(), 3 * 4));
  Picture p;
  ASSERT_TRUE(LoadPicture("p.png", p));
  EXPECT_EQ(p.format, PixelFormat::Rgba8);
  EXPECT_EQ(p.levels[0].data, rgba);
}

// A triangle pair with two materials, the second textured; z, winding and
// texture coordinates as the file has them.
constexpr const char* kTwoMaterials = R"(xof 0303txt 0032
Material Red { 1.0;0.0;0.0;1.0;; 5.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;; }
Frame Root {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 10.0,0.0,0.0,1.0;; }
 Mesh Quad {
  4;
  0.0;0.0;1.0;, 1.0;0.0;2.0;, 0.0;1.0;3.0;, 1.0;1.0;4.0;;
  2;
  3;0,2,1;, 3;1,2,3;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
  MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;, 1.0;1.0;; }
  MeshMaterialList {
   2; 2; 1, 0;;
   {Red}
   Material Blue { 0.0;0.0;1.0;0.5;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { "texture\\blue.dds"; } }
  }
 }
}
)";

TEST_F(FilesTest, XModelKeepsTheFilesConventionsOneSubsetPerMaterial) {
  ASSERT_TRUE(sample::WriteFile("two.x", kTwoMaterials));
  MeshData d;
  std::string error;
  ASSERT_TRUE(LoadXMesh("two.x", d, &error)) << error;
  ASSERT_EQ(d.subsets.size(), 2u);
  // Material order: Red (subset 0) holds the second face, Blue the first.
  EXPECT_FLOAT_EQ(d.subsets[0].material.diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(d.subsets[0].material.power, 5.0f);
  EXPECT_FLOAT_EQ(d.subsets[0].material.specular.g, 0.5f);
  EXPECT_EQ(d.subsets[0].textureName, "");
  EXPECT_FLOAT_EQ(d.subsets[1].material.diffuse.b, 1.0f);
  EXPECT_FLOAT_EQ(d.subsets[1].material.diffuse.a, 0.5f);
  EXPECT_EQ(d.subsets[1].textureName, "texture\\blue.dds");
  EXPECT_EQ(TexturePath(d.subsets[1].textureName), "texture/blue.dds");
  ASSERT_EQ(d.subsets[0].indexCount, 3u);
  // Red's face is 1, 2, 3 of the file, in that order, moved by the frame.
  const MeshVertex* v[3];
  for (int k = 0; k < 3; ++k) v[k] = &d.vertices[d.indices[d.subsets[0].firstIndex + k]];
  EXPECT_FLOAT_EQ(v[0]->position[0], 11.0f);
  EXPECT_FLOAT_EQ(v[0]->position[2], 2.0f);
  EXPECT_FLOAT_EQ(v[1]->position[2], 3.0f);
  EXPECT_FLOAT_EQ(v[2]->position[2], 4.0f);
  EXPECT_FLOAT_EQ(v[1]->uv[1], 1.0f);  // v as stored, not flipped
  EXPECT_FLOAT_EQ(v[0]->normal[2], -1.0f);
  EXPECT_TRUE(d.hasNormals);
  EXPECT_TRUE(d.hasTextureCoords);
  EXPECT_FALSE(LoadXMesh("missing.x", d));
}

TEST_F(FilesTest, SampleModelsLoad) {
  ASSERT_TRUE(sample::WriteSampleSet("."));
  for (const char* name : {"ball", "block", "bar", "item", "wall", "ground"}) {
    MeshData d;
    ASSERT_TRUE(LoadXMesh(std::string("model/") + name + ".x", d)) << name;
    EXPECT_EQ(d.subsets.size(), 1u);
    EXPECT_GT(d.indices.size(), 0u);
  }
}

// ------------------------------------------------------------ fonts

TEST(FontFace, TimesNewRomanBoldResolvesAndKeepsTheCellHeights) {
  for (int height : {20, 32, 48, 72}) {
    FontFace f;
    std::string error;
    ASSERT_TRUE(f.Open("Times New Roman", height, 700, false, &error)) << error;
    EXPECT_NE(f.File().find("LiberationSerif-Bold"), std::string::npos) << f.File();
    EXPECT_EQ(f.CellHeight(), height);
    const Glyph& h = f.GlyphFor('H');
    ASSERT_TRUE(h.present);
    EXPECT_LE(h.height, height);
    EXPECT_GT(h.advance, height / 3);
  }
}

TEST(FontFace, AlignmentPlacesTheTextAroundX) {
  FontFace f;
  ASSERT_TRUE(f.Open("Times New Roman", 32, 700, false));
  const char* text = "[ Game Start ]";
  const int w = f.TextWidth(text);
  EXPECT_GT(w, 100);
  EXPECT_EQ(f.Place(text, 100, 50, kTextLeft).left, 100);
  EXPECT_EQ(f.Place(text, 320, 50, kTextCenter).left, 320 - w / 2);
  EXPECT_EQ(f.Place(text, 600, 50, kTextRight).left, 600 - w);
  EXPECT_EQ(f.Place(text, 320, 260, kTextCenter | kTextVCenter).top, 260 - 16);
  EXPECT_EQ(f.Place(text, 320, 260, kTextCenter).top, 260);
}

// ------------------------------------------------------------ window mapping

TEST(GameWindow, LetterboxKeepsTheAspect) {
  const ViewRect same = Letterbox(640, 480);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.width, 640);
  const ViewRect wide = Letterbox(1920, 1080);
  EXPECT_EQ(wide.width, 1440);
  EXPECT_EQ(wide.height, 1080);
  EXPECT_EQ(wide.x, 240);
  EXPECT_EQ(wide.y, 0);
  const ViewRect tall = Letterbox(800, 800);
  EXPECT_EQ(tall.width, 800);
  EXPECT_EQ(tall.height, 600);
  EXPECT_EQ(tall.y, 100);
  int32_t x = 0, y = 0;
  WindowToPicture(240, 0, 1920, 1080, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  WindowToPicture(960, 540, 1920, 1080, x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  WindowToPicture(100, 10, 1920, 1080, x, y);
  EXPECT_LT(x, 0);  // in the bar beside the picture
  WindowToPicture(639, 479, 640, 480, x, y);
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);
}

}  // namespace
}  // namespace quadrel::render
