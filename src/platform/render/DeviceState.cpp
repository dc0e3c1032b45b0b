#include "platform/render/DeviceState.hpp"

#include <cstring>

#include "platform/render/D3DMath.hpp"

namespace quadrel::render {

const std::array<StateValue, 13> kDefaultRenderStates = {{
    {rs::CullMode, rv::CullCcw},
    {rs::ZEnable, 1},
    {rs::DitherEnable, 1},
    {rs::SpecularEnable, 1},
    {rs::AntialiasedLineEnable, 0},
    {rs::AlphaBlendEnable, 0},
    {rs::SrcBlend, rv::BlendSrcAlpha},
    {rs::DestBlend, rv::BlendOne},
    {rs::StencilFunc, rv::CmpNotEqual},
    {rs::StencilFail, rv::StencilKeep},
    {rs::StencilZFail, rv::StencilKeep},
    {rs::StencilPass, rv::StencilReplace},
    {rs::StencilRef, 1},
}};

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

ColourValue ArgbToColour(uint32_t argb) {
  return ColourValue{((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f,
                     (argb & 0xFF) / 255.0f, ((argb >> 24) & 0xFF) / 255.0f};
}

DeviceState::DeviceState() {
  camera.projection = MatrixIdentity();
  camera.view = MatrixIdentity();
  shadowMatrix = MatrixIdentity();
  ResetDeviceStates();
}

void DeviceState::ResetDeviceStates() {
  renderStates.fill(0);
  auto& r = renderStates;
  r[rs::ZEnable] = 1;
  r[rs::FillMode] = 3;
  r[rs::ShadeMode] = 2;
  r[rs::ZWriteEnable] = 1;
  r[rs::AlphaTestEnable] = 0;
  r[rs::LastPixel] = 1;
  r[rs::SrcBlend] = rv::BlendOne;
  r[rs::DestBlend] = rv::BlendZero;
  r[rs::CullMode] = rv::CullCcw;
  r[rs::ZFunc] = rv::CmpLessEqual;
  r[rs::AlphaRef] = 0;
  r[rs::AlphaFunc] = rv::CmpAlways;
  r[rs::DitherEnable] = 0;
  r[rs::AlphaBlendEnable] = 0;
  r[rs::FogEnable] = 0;
  r[rs::SpecularEnable] = 0;
  r[rs::FogColor] = 0;
  r[rs::FogTableMode] = rv::FogNone;
  r[rs::FogStart] = FloatBits(0.0f);
  r[rs::FogEnd] = FloatBits(1.0f);
  r[rs::FogDensity] = FloatBits(1.0f);
  r[rs::StencilEnable] = 0;
  r[rs::StencilFail] = rv::StencilKeep;
  r[rs::StencilZFail] = rv::StencilKeep;
  r[rs::StencilPass] = rv::StencilKeep;
  r[rs::StencilFunc] = rv::CmpAlways;
  r[rs::StencilRef] = 0;
  r[rs::StencilMask] = 0xFFFFFFFFu;
  r[rs::StencilWriteMask] = 0xFFFFFFFFu;
  r[rs::TextureFactor] = 0xFFFFFFFFu;
  r[rs::Clipping] = 1;
  r[rs::Lighting] = 1;
  r[rs::Ambient] = 0;
  r[rs::FogVertexMode] = rv::FogNone;
  r[rs::ColorVertex] = 1;
  r[rs::LocalViewer] = 1;
  r[rs::NormalizeNormals] = 0;
  r[rs::DiffuseMaterialSource] = 1;
  r[rs::SpecularMaterialSource] = 2;
  r[rs::ColorWriteEnable] = 0x0F;
  r[rs::BlendOp] = rv::BlendOpAdd;
  r[rs::AntialiasedLineEnable] = 0;

  for (auto& s : samplerStates) {
    std::memset(s, 0, sizeof s);
    s[ss::AddressU] = ss::AddressWrap;
    s[ss::AddressV] = ss::AddressWrap;
    s[ss::AddressW] = ss::AddressWrap;
    s[ss::MagFilter] = ss::FilterPoint;
    s[ss::MinFilter] = ss::FilterPoint;
    s[ss::MipFilter] = ss::FilterNone;
  }
  world = view = projection = MatrixIdentity();
  light = Light{};
  light.type = kLightDirectional;
  light.diffuse = ColourValue{1, 1, 1, 0};
  light.direction = Vec3{0, 0, 1};
  lightEnabled = false;
  material = Material{};
  texture = 0;
  // A device starts with the identity ramp.
  for (int i = 0; i < 256; ++i) gammaRamp[i] = static_cast<uint16_t>(i * 257);
  ++serial;
}

float DeviceState::RenderStateFloat(uint32_t state) const {
  return BitsFloat(renderStates[state]);
}

GammaRamp ComputeGammaRamp(int32_t level) {
  const int32_t l = level % 256;
  GammaRamp ramp{};
  for (int32_t i = 0; i < 256; ++i) ramp[i] = static_cast<uint16_t>((i + 1) * l + 255);
  return ramp;
}

Light DefaultLight() {
  Light l{};
  l.type = kLightDirectional;
  l.diffuse = ColourValue{1.0f, 1.0f, 1.0f, 0.0f};
  l.specular = ColourValue{0.8f, 0.8f, 0.8f, 0.0f};
  l.ambient = ColourValue{0.2f, 0.2f, 0.2f, 0.0f};
  return l;
}

Matrix BillboardFromView(const Matrix& v) {
  Matrix out = MatrixIdentity();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out.m[r][c] = v.m[c][r];
  return out;
}

Matrix FadeQuadWorld(const Camera& camera) {
  const Vec3 d = Vec3Normalize(Vec3Subtract(camera.at, camera.eye));
  const Vec3 centre = Vec3Add(camera.eye, Vec3Scale(d, 2.0f));
  return MatrixMultiply(BillboardFromView(camera.view),
                        MatrixTranslation(centre.x, centre.y, centre.z));
}

}  // namespace quadrel::render
