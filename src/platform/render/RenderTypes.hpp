// Values and records shared by every rendering service: result codes, the
// fixed-function render-state numbers and defaults, materials, lights, the
// camera record and the presentation parameters.
#pragma once

#include <array>
#include <cstdint>

#include "base/IoResult.hpp"

namespace quadrel::render {

// HRESULT-style results: negative is failure.
constexpr int32_t kOk = 0;
constexpr int32_t kFail = kFailure;
constexpr int32_t kDeviceLost = static_cast<int32_t>(0x88760868u);
constexpr int32_t kDeviceNotReset = static_cast<int32_t>(0x88760869u);
constexpr int32_t kFileNotFound = static_cast<int32_t>(0x88760B59u);  // D3DXERR_INVALIDDATA stand-in

// Text formats (a subset of the DrawText words).
constexpr uint32_t kTextLeft = 0x0;
constexpr uint32_t kTextCenter = 0x1;
constexpr uint32_t kTextRight = 0x2;
constexpr uint32_t kTextVCenter = 0x4;
constexpr uint32_t kTextNoClip = 0x100;

// Render-state numbers (the fixed-function device's numbering).
namespace rs {
constexpr uint32_t ZEnable = 7;
constexpr uint32_t FillMode = 8;
constexpr uint32_t ShadeMode = 9;
constexpr uint32_t ZWriteEnable = 14;
constexpr uint32_t AlphaTestEnable = 15;
constexpr uint32_t LastPixel = 16;
constexpr uint32_t SrcBlend = 19;
constexpr uint32_t DestBlend = 20;
constexpr uint32_t CullMode = 22;
constexpr uint32_t ZFunc = 23;
constexpr uint32_t AlphaRef = 24;
constexpr uint32_t AlphaFunc = 25;
constexpr uint32_t DitherEnable = 26;
constexpr uint32_t AlphaBlendEnable = 27;
constexpr uint32_t FogEnable = 28;
constexpr uint32_t SpecularEnable = 29;
constexpr uint32_t FogColor = 34;
constexpr uint32_t FogTableMode = 35;
constexpr uint32_t FogStart = 36;
constexpr uint32_t FogEnd = 37;
constexpr uint32_t FogDensity = 38;
constexpr uint32_t RangeFogEnable = 48;
constexpr uint32_t StencilEnable = 52;
constexpr uint32_t StencilFail = 53;
constexpr uint32_t StencilZFail = 54;
constexpr uint32_t StencilPass = 55;
constexpr uint32_t StencilFunc = 56;
constexpr uint32_t StencilRef = 57;
constexpr uint32_t StencilMask = 58;
constexpr uint32_t StencilWriteMask = 59;
constexpr uint32_t TextureFactor = 60;
constexpr uint32_t Clipping = 136;
constexpr uint32_t Lighting = 137;
constexpr uint32_t Ambient = 139;
constexpr uint32_t FogVertexMode = 140;
constexpr uint32_t ColorVertex = 141;
constexpr uint32_t LocalViewer = 142;
constexpr uint32_t NormalizeNormals = 143;
constexpr uint32_t DiffuseMaterialSource = 145;
constexpr uint32_t SpecularMaterialSource = 146;
constexpr uint32_t AmbientMaterialSource = 147;
constexpr uint32_t EmissiveMaterialSource = 148;
constexpr uint32_t ColorWriteEnable = 168;
constexpr uint32_t BlendOp = 171;
constexpr uint32_t AntialiasedLineEnable = 176;
constexpr uint32_t Count = 210;
}  // namespace rs

// Values of the render states.
namespace rv {
constexpr uint32_t CullNone = 1, CullCw = 2, CullCcw = 3;
constexpr uint32_t BlendZero = 1, BlendOne = 2, BlendSrcColor = 3, BlendInvSrcColor = 4,
                   BlendSrcAlpha = 5, BlendInvSrcAlpha = 6, BlendDestAlpha = 7,
                   BlendInvDestAlpha = 8, BlendDestColor = 9, BlendInvDestColor = 10;
constexpr uint32_t CmpNever = 1, CmpLess = 2, CmpEqual = 3, CmpLessEqual = 4, CmpGreater = 5,
                   CmpNotEqual = 6, CmpGreaterEqual = 7, CmpAlways = 8;
constexpr uint32_t StencilKeep = 1, StencilZero = 2, StencilReplace = 3, StencilIncrSat = 4,
                   StencilDecrSat = 5, StencilInvert = 6, StencilIncr = 7, StencilDecr = 8;
constexpr uint32_t FogNone = 0, FogExp = 1, FogExp2 = 2, FogLinear = 3;
constexpr uint32_t BlendOpAdd = 1, BlendOpSubtract = 2, BlendOpRevSubtract = 3, BlendOpMin = 4,
                   BlendOpMax = 5;
}  // namespace rv

// Sampler-state numbers and values.
namespace ss {
constexpr uint32_t AddressU = 1;
constexpr uint32_t AddressV = 2;
constexpr uint32_t AddressW = 3;
constexpr uint32_t BorderColor = 4;
constexpr uint32_t MagFilter = 5;
constexpr uint32_t MinFilter = 6;
constexpr uint32_t MipFilter = 7;
constexpr uint32_t Count = 14;
constexpr uint32_t AddressWrap = 1, AddressMirror = 2, AddressClamp = 3, AddressBorder = 4;
constexpr uint32_t FilterNone = 0, FilterPoint = 1, FilterLinear = 2;
}  // namespace ss

constexpr int kSamplerCount = 8;

struct Vec3 {
  float x, y, z;
};

struct Vec4 {
  float x, y, z, w;
};

// Plane a x + b y + c z + d = 0.
struct Plane {
  float a, b, c, d;
};

// Row-vector matrix: a point p maps to p * M; m[row][column], _RC = m[R-1][C-1].
struct Matrix {
  float m[4][4];
};

struct ColourValue {
  float r, g, b, a;
};

struct Material {
  ColourValue diffuse;
  ColourValue ambient;
  ColourValue specular;
  ColourValue emissive;
  float power;
};

constexpr uint32_t kLightPoint = 1, kLightSpot = 2, kLightDirectional = 3;

struct Light {
  uint32_t type;
  ColourValue diffuse;
  ColourValue specular;
  ColourValue ambient;
  Vec3 position;
  Vec3 direction;
  float range, falloff, attenuation0, attenuation1, attenuation2, theta, phi;
};

// The one camera record every scene writes before drawing.
struct Camera {
  Vec3 eye;
  Vec3 at;
  Vec3 up;
  float fovDegrees;
  float nearPlane;
  float farPlane;
  Matrix projection;
  Matrix view;
};

// The presentation record that device creation and every mode switch use.
struct PresentParameters {
  uint32_t backBufferWidth;
  uint32_t backBufferHeight;
  uint32_t backBufferFormat;
  uint32_t backBufferCount;
  uint32_t multiSampleType;
  uint32_t multiSampleQuality;
  uint32_t swapEffect;
  int32_t windowed;
  int32_t enableAutoDepthStencil;
  uint32_t autoDepthStencilFormat;
  uint32_t flags;
  uint32_t fullScreenRefreshRateInHz;
  uint32_t presentationInterval;
};

struct DisplayMode {
  uint32_t width, height, refreshRate, format;
};

constexpr uint32_t kFormatX8R8G8B8 = 22;
constexpr uint32_t kFormatD24S8 = 75;
constexpr uint32_t kSwapEffectDiscard = 1;

// The picture every frame is drawn into.
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

using GammaRamp = std::array<uint16_t, 256>;

}  // namespace quadrel::render
