#include "platform/render/GraphicsBase.hpp"

#include <cinttypes>
#include <cstdio>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "platform/render/D3DMath.hpp"

namespace quadrel::render {

const char* const kNoRuntimeText = N_("OpenGL may not be available on this computer.");
const char* const kOldRuntimeText = N_("The OpenGL version may be too old.");
const char* const kInitFailedText = N_("The graphics could not be started.");
const char* const kVertexBufferText = N_("A vertex buffer could not be made.");

// Line numbers of the start-up reports (fixed; they appear in the user's report).
constexpr int kNoRuntimeLine = 25;
constexpr int kOldRuntimeLine = 33;
constexpr int kInitFailedLine = 41;
constexpr int kVertexBufferLine = 53;

namespace {

std::string Num(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.9g", v);
  return b;
}

std::string Int(int64_t v) { return std::to_string(v); }


std::string Vec(Vec3 v) { return "(" + Num(v.x) + "," + Num(v.y) + "," + Num(v.z) + ")"; }

}  // namespace

std::string FormatColour(uint32_t argb) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08" PRIX32, argb);
  return b;
}

std::string QuoteText(const char* text) {
  std::string s = "\"";
  s += text ? text : "";
  s += "\"";
  return s;
}

// ---------------------------------------------------------------- Mesh

MeshBase::MeshBase(GraphicsBase& owner, int id) : owner_(owner), id_(id) {
  translation_ = rotation_ = scale_ = world_ = shadowWorld_ = MatrixIdentity();
}

MeshBase::~MeshBase() = default;

void MeshBase::Empty() {
  if (loaded_) ReleaseData(textures_);
  loaded_ = false;
  textures_.clear();
  materials_.clear();
  materialCount_ = 0;
}

int32_t MeshBase::Load(const char* fileName) {
  if (owner_.Logging()) owner_.Record("Mesh#" + Int(id_) + ".Load(" + QuoteText(fileName) + ")");
  Empty();
  fileName_ = fileName ? fileName : "";
  std::vector<Material> materials;
  std::vector<uint32_t> textures;
  const int32_t r = LoadData(fileName_.c_str(), materials, textures);
  if (r < 0) return r;
  loaded_ = true;
  materials_ = std::move(materials);
  textures_ = std::move(textures);
  textures_.resize(materials_.size(), 0);
  for (Material& m : materials_) m.ambient = m.diffuse;
  materialCount_ = static_cast<uint32_t>(materials_.size());
  return kOk;
}

void MeshBase::SetScale(double x, double y, double z) {
  if (owner_.Logging())
    owner_.Record("Mesh#" + Int(id_) + ".SetScale(" + Num(x) + "," + Num(y) + "," + Num(z) + ")");
  scale_ = MatrixScaling(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void MeshBase::SetRotation(double axisX, double axisY, double axisZ, double angleDegrees) {
  if (owner_.Logging())
    owner_.Record("Mesh#" + Int(id_) + ".SetRotation(" + Num(axisX) + "," + Num(axisY) + "," +
                  Num(axisZ) + "," + Num(angleDegrees) + ")");
  const double radians = angleDegrees * 3.1415926538 / 180.0;
  rotation_ = MatrixRotationAxis(
      Vec3{static_cast<float>(axisX), static_cast<float>(axisY), static_cast<float>(axisZ)},
      static_cast<float>(radians));
}

void MeshBase::SetPosition(double x, double y, double z) {
  if (owner_.Logging())
    owner_.Record("Mesh#" + Int(id_) + ".SetPosition(" + Num(x) + "," + Num(y) + "," + Num(z) +
                  ")");
  translation_ =
      MatrixTranslation(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void MeshBase::Draw(int32_t withShadow) {
  if (owner_.Logging()) owner_.Record("Mesh#" + Int(id_) + ".Draw(" + Int(withShadow) + ")");
  world_ = MatrixMultiply(MatrixMultiply(scale_, rotation_), translation_);
  DeviceState& s = owner_.state_;
  s.world = world_;
  for (uint32_t i = 0; i < materialCount_; ++i) {
    s.material = materials_[i];
    s.texture = textures_[i];
    DrawSubset(i);
  }
  if (withShadow) DrawShadowPass();
}

void MeshBase::DrawShadowPass() {
  DeviceState& s = owner_.state_;
  static constexpr uint32_t kKept[5] = {rs::Lighting, rs::AlphaBlendEnable, rs::SrcBlend,
                                        rs::DestBlend, rs::StencilEnable};
  uint32_t kept[5];
  for (int i = 0; i < 5; ++i) kept[i] = s.renderStates[kKept[i]];
  owner_.SetRenderStateNow(rs::Lighting, 1);
  owner_.SetRenderStateNow(rs::AlphaBlendEnable, 1);
  owner_.SetRenderStateNow(rs::SrcBlend, rv::BlendOne);
  owner_.SetRenderStateNow(rs::DestBlend, rv::BlendInvSrcAlpha);
  owner_.SetRenderStateNow(rs::StencilEnable, 1);
  shadowWorld_ = MatrixMultiply(world_, s.shadowMatrix);
  s.world = shadowWorld_;
  for (uint32_t i = 0; i < materialCount_; ++i) {
    s.material = s.shadowMaterial;
    s.texture = 0;
    DrawSubset(i);
  }
  for (int i = 0; i < 5; ++i) owner_.SetRenderStateNow(kKept[i], kept[i]);
}

void MeshBase::ReleaseResources() {
  if (owner_.Logging()) owner_.Record("Mesh#" + Int(id_) + ".ReleaseResources()");
  Empty();
}

// ---------------------------------------------------------------- Font

FontBase::FontBase(GraphicsBase& owner, int id) : owner_(owner), id_(id) {}
FontBase::~FontBase() = default;

int32_t FontBase::Create(const char* faceName, int32_t height, int32_t weight, int32_t italic) {
  if (owner_.Logging())
    owner_.Record("Font#" + Int(id_) + ".Create(" + QuoteText(faceName) + "," + Int(height) + "," +
                  Int(weight) + "," + Int(italic) + ")");
  if (created_) ReleaseFace();
  created_ = false;
  const int32_t r = CreateFace(faceName ? faceName : "", height, weight, italic);
  created_ = r >= 0;
  return r;
}

void FontBase::DrawText(const char* text, int32_t x, int32_t y, uint32_t format, uint32_t colour) {
  if (owner_.Logging())
    owner_.Record("Font#" + Int(id_) + ".DrawText(" + QuoteText(text) + "," + Int(x) + "," +
                  Int(y) + "," + Int(format) + "," + FormatColour(colour) + ")");
  if (created_ && text) DrawString(text, x, y, format | kTextNoClip, colour);
}

void FontBase::DrawTextShadow(const char* text, int32_t x, int32_t y, int32_t offset,
                              uint32_t format, uint32_t colour, uint32_t shadowColour) {
  if (owner_.Logging())
    owner_.Record("Font#" + Int(id_) + ".DrawTextShadow(" + QuoteText(text) + "," + Int(x) + "," +
                  Int(y) + "," + Int(offset) + "," + Int(format) + "," + FormatColour(colour) +
                  "," + FormatColour(shadowColour) + ")");
  if (!created_ || !text) return;
  DrawString(text, x + offset, y + offset, format | kTextNoClip, shadowColour);
  DrawString(text, x, y, format | kTextNoClip, colour);
}

void FontBase::ReleaseFont() {
  if (owner_.Logging()) owner_.Record("Font#" + Int(id_) + ".ReleaseFont()");
  if (created_) ReleaseFace();
  created_ = false;
}

// ---------------------------------------------------------------- Device

GraphicsBase::GraphicsBase() = default;

GraphicsBase::~GraphicsBase() {
  // Derived classes release their objects first; this only frees what is left.
  while (meshHead_) {
    MeshBase* m = meshHead_;
    Unlink(m);
    delete m;
  }
  while (fontHead_) {
    FontBase* f = fontHead_;
    Unlink(f);
    delete f;
  }
}

int32_t GraphicsBase::InitDirect3D(int32_t fullScreen) {
  if (Logging()) Record("InitDirect3D(" + Int(fullScreen) + ")");
  if (ProbeRuntime() < 0) {
    ReportFatalError(Tr(kNoRuntimeText), kUnit, kNoRuntimeLine);
    return kFail;
  }
  if (CreateApi() < 0) {
    ReportFatalError(Tr(kOldRuntimeText), kUnit, kOldRuntimeLine);
    return kFail;
  }
  BuildPresentParametersNow(fullScreen);
  if (CreateRenderDeviceNow() < 0) {
    ReportFatalError(Tr(kInitFailedText), kUnit, kInitFailedLine);
    return kFail;
  }
  if (CreateFadeBuffer() < 0) {
    ReportFatalError(Tr(kVertexBufferText), kUnit, kVertexBufferLine);
    return kFail;
  }
  return kOk;
}

int32_t GraphicsBase::BuildPresentParameters(int32_t fullScreen) {
  if (Logging()) Record("BuildPresentParameters(" + Int(fullScreen) + ")");
  return BuildPresentParametersNow(fullScreen);
}

int32_t GraphicsBase::BuildPresentParametersNow(int32_t fullScreen) {
  DisplayMode mode{};
  const int32_t r = QueryDisplayMode(mode);
  if (r < 0) return r;
  state_.displayMode = mode;
  PresentParameters p{};
  p.backBufferWidth = fullScreen ? kPictureWidth : 0;
  p.backBufferHeight = fullScreen ? kPictureHeight : 0;
  p.backBufferFormat = mode.format;
  p.backBufferCount = 1;
  p.swapEffect = kSwapEffectDiscard;
  p.windowed = fullScreen ? 0 : 1;
  p.enableAutoDepthStencil = 1;
  p.autoDepthStencilFormat = kFormatD24S8;
  state_.present = p;
  state_.aspectRatio = BitsFloat(0x3FAAAAABu);
  return kOk;
}

int32_t GraphicsBase::CreateRenderDeviceNow() {
  if (deviceCreated_) {
    ReleaseDevice();
    deviceCreated_ = false;
  }
  if (CreateDevice() < 0) return kFail;
  deviceCreated_ = true;
  state_.ResetDeviceStates();
  GammaChanged();
  return kOk;
}

int32_t GraphicsBase::ChangeDisplayMode(int32_t fullScreen, int32_t windowWidth,
                                        int32_t windowHeight) {
  if (Logging()) Record("ChangeDisplayMode(" + Int(fullScreen) + "," + Int(windowWidth) + "," +
         Int(windowHeight) + ")");
  DestroyMeshes();
  DestroyFonts();
  ReleaseBackground();
  BuildPresentParametersNow(fullScreen);
  if (deviceCreated_) {
    ResetDevice();
    state_.ResetDeviceStates();
    GammaChanged();
  }
  SwitchWindow(fullScreen, windowWidth, windowHeight);
  return kOk;
}

int32_t GraphicsBase::BeginFrame() {
  if (Logging()) Record("BeginFrame()");
  if (!deviceCreated_) return kFail;
  const int32_t r = TestCooperativeLevel();
  if (r < 0) return r;
  Clear(state_.clearColour);
  return kOk;
}

int32_t GraphicsBase::EndFrame() {
  if (Logging()) Record("EndFrame()");
  if (!deviceCreated_) return kFail;
  const int32_t r = Present();
  if (r < 0) ResetDevice();
  return r;
}

void GraphicsBase::ShutdownDirect3D() {
  if (Logging()) Record("ShutdownDirect3D()");
  ReleaseBackground();
  if (deviceCreated_) ReleaseDevice();
  deviceCreated_ = false;
}

void GraphicsBase::SetClearColour(uint32_t argb) {
  if (Logging()) Record("SetClearColour(" + FormatColour(argb) + ")");
  state_.clearColour = argb;
}

int32_t GraphicsBase::CreateMeshObject(Mesh*& slot) {
  if (Logging()) Record("CreateMeshObject()");
  std::unique_ptr<MeshBase> m = NewMesh(nextId_++);
  if (!m) {
    slot = nullptr;
    return kFail;
  }
  MeshBase* raw = m.release();
  raw->previous = nullptr;
  raw->next = meshHead_;
  if (meshHead_) meshHead_->previous = raw;
  meshHead_ = raw;
  slot = raw;
  return kOk;
}

int32_t GraphicsBase::CreateFontObject(Font*& slot) {
  if (Logging()) Record("CreateFontObject()");
  std::unique_ptr<FontBase> f = NewFont(nextId_++);
  if (!f) {
    slot = nullptr;
    return kFail;
  }
  FontBase* raw = f.release();
  raw->previous = nullptr;
  raw->next = fontHead_;
  if (fontHead_) fontHead_->previous = raw;
  fontHead_ = raw;
  slot = raw;
  return kOk;
}

void GraphicsBase::Unlink(MeshBase* m) {
  if (m->previous) m->previous->next = m->next;
  else meshHead_ = m->next;
  if (m->next) m->next->previous = m->previous;
  m->previous = m->next = nullptr;
}

void GraphicsBase::Unlink(FontBase* f) {
  if (f->previous) f->previous->next = f->next;
  else fontHead_ = f->next;
  if (f->next) f->next->previous = f->previous;
  f->previous = f->next = nullptr;
}

void GraphicsBase::DestroyMeshes() {
  while (meshHead_) {
    MeshBase* m = meshHead_;
    m->Empty();
    Unlink(m);
    delete m;
  }
}

void GraphicsBase::DestroyFonts() {
  while (fontHead_) {
    FontBase* f = fontHead_;
    if (f->created_) f->ReleaseFace();
    f->created_ = false;
    Unlink(f);
    delete f;
  }
}

void GraphicsBase::DestroyAllMeshes() {
  if (Logging()) Record("DestroyAllMeshes()");
  DestroyMeshes();
}

void GraphicsBase::DestroyAllFonts() {
  if (Logging()) Record("DestroyAllFonts()");
  DestroyFonts();
}

int GraphicsBase::MeshCount() const {
  int n = 0;
  for (const MeshBase* m = meshHead_; m; m = m->next) ++n;
  return n;
}

int GraphicsBase::FontCount() const {
  int n = 0;
  for (const FontBase* f = fontHead_; f; f = f->next) ++n;
  return n;
}

int32_t GraphicsBase::LoadBackground(const char* fileName, int32_t width, int32_t height) {
  if (Logging()) Record("LoadBackground(" + QuoteText(fileName) + "," + Int(width) + "," + Int(height) + ")");
  ReleaseBackground();
  if (!deviceCreated_ || !fileName) return kFail;
  return LoadBackgroundPicture(fileName, width, height) < 0 ? kFail : kOk;
}

int32_t GraphicsBase::DrawBackground() {
  if (Logging()) Record("DrawBackground()");
  if (!deviceCreated_) return kFail;
  return CopyBackground();
}

void GraphicsBase::ApplyCamera() {
  if (Logging()) Record("ApplyCamera()");
  Camera& c = state_.camera;
  c.view = MatrixLookAtLH(c.eye, c.at, c.up);
  const float fovy = c.fovDegrees * BitsFloat(0x3C8EFA35u);
  c.projection = MatrixPerspectiveFovLH(fovy, state_.aspectRatio, c.nearPlane, c.farPlane);
  state_.view = c.view;
  state_.projection = c.projection;
  ++state_.serial;
}

void GraphicsBase::GetBillboardMatrix(Matrix& out) {
  if (Logging()) Record("GetBillboardMatrix()");
  out = BillboardFromView(state_.camera.view);
}

void GraphicsBase::FadeQuad(uint32_t colour) {
  if (Logging()) Record("FadeQuad(" + FormatColour(colour) + ")");
  state_.world = FadeQuadWorld(state_.camera);
  SetRenderStateNow(rs::ZEnable, 0);
  SetRenderStateNow(rs::Lighting, 0);
  SetRenderStateNow(rs::AlphaBlendEnable, 1);
  SetRenderStateNow(rs::SrcBlend, rv::BlendOne);
  SetRenderStateNow(rs::DestBlend, rv::BlendInvSrcAlpha);
  if (deviceCreated_) DrawFadeQuad(colour);
  ResetRenderStatesNow();
}

void GraphicsBase::ResetRenderStates() {
  if (Logging()) Record("ResetRenderStates()");
  ResetRenderStatesNow();
}

void GraphicsBase::ResetRenderStatesNow() {
  for (const StateValue& sv : kDefaultRenderStates) SetRenderStateNow(sv.state, sv.value);
}

void GraphicsBase::SetRenderStateNow(uint32_t state, uint32_t value) {
  if (state >= rs::Count) return;
  if (state_.renderStates[state] != value) {
    state_.renderStates[state] = value;
    ++state_.serial;
  }
}

int32_t GraphicsBase::SetRenderState(uint32_t state, uint32_t value) {
  if (Logging()) Record("SetRenderState(" + Int(state) + "," + Int(value) + ")");
  if (state >= rs::Count) return kFail;
  SetRenderStateNow(state, value);
  return kOk;
}

int32_t GraphicsBase::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) {
  if (Logging()) Record("SetSamplerState(" + Int(sampler) + "," + Int(type) + "," + Int(value) + ")");
  if (sampler >= kSamplerCount || type >= ss::Count) return kFail;
  state_.samplerStates[sampler][type] = value;
  ++state_.serial;
  return kOk;
}

void GraphicsBase::SetMainLight(const Light& light, Vec3 direction, int32_t useDefault) {
  if (Logging()) Record("SetMainLight(" + Vec(direction) + "," + Int(useDefault) + ")");
  Light l = light;
  Vec3 d = direction;
  if (useDefault) {
    l = DefaultLight();
    d = Vec3{1.0f, -1.0f, 1.0f};
  }
  l.direction = Vec3Normalize(d);
  state_.light = l;
  state_.lightEnabled = true;
  ++state_.serial;
}

void GraphicsBase::SetFog(int32_t enable, uint32_t colour, float start, float end) {
  if (Logging()) Record("SetFog(" + Int(enable) + "," + FormatColour(colour) + "," + Num(start) + "," + Num(end) +
         ")");
  SetRenderStateNow(rs::FogEnable, static_cast<uint32_t>(enable));
  SetRenderStateNow(rs::FogColor, colour);
  SetRenderStateNow(rs::FogStart, FloatBits(start));
  SetRenderStateNow(rs::FogEnd, FloatBits(end));
  SetRenderStateNow(rs::FogVertexMode, rv::FogLinear);
}

int32_t GraphicsBase::SetShadowProjection(Vec3 lightDirection, Vec3 planePoint, Vec3 planeNormal,
                                          ColourValue colour) {
  if (Logging()) Record("SetShadowProjection(" + Vec(lightDirection) + "," + Vec(planePoint) + "," +
         Vec(planeNormal) + ",(" + Num(colour.r) + "," + Num(colour.g) + "," + Num(colour.b) +
         "," + Num(colour.a) + "))");
  state_.shadowMaterial = Material{};
  state_.shadowMaterial.diffuse.a = colour.a;
  const Plane plane = PlaneFromPointNormal(planePoint, planeNormal);
  state_.shadowMatrix =
      MatrixShadow(Vec4{lightDirection.x, lightDirection.y, lightDirection.z, 0.0f}, plane);
  ++state_.serial;
  return kOk;
}

void GraphicsBase::SetGammaLevel(int32_t level) {
  if (Logging()) Record("SetGammaLevel(" + Int(level) + ")");
  state_.gammaRamp = ComputeGammaRamp(level);
  GammaChanged();
}

}  // namespace quadrel::render
