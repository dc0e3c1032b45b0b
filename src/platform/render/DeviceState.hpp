// The device record both implementations keep: the fixed-function states the
// scenes set, the transforms, light, material and gamma ramp, and the values
// that survive a device reset (camera, aspect, shadow projection, clear colour).
#pragma once

#include <array>
#include <cstdint>

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

struct DeviceState {
  // Lost on every device reset.
  std::array<uint32_t, rs::Count> renderStates{};
  uint32_t samplerStates[kSamplerCount][ss::Count]{};
  Matrix world{}, view{}, projection{};
  Light light{};
  bool lightEnabled = false;
  Material material{};
  uint32_t texture = 0;  // stage 0; 0 = none
  GammaRamp gammaRamp{};

  // Kept across resets.
  Camera camera{};
  float aspectRatio = 0.0f;
  Matrix shadowMatrix{};
  Material shadowMaterial{};
  uint32_t clearColour = 0xFF000096u;
  PresentParameters present{};
  DisplayMode displayMode{};

  // Incremented whenever something the shading depends on changes.
  uint32_t serial = 1;

  DeviceState();
  // The states a freshly created or reset device starts with.
  void ResetDeviceStates();
  float RenderStateFloat(uint32_t state) const;
};

// The program's default states, in the order they are set.
struct StateValue {
  uint32_t state;
  uint32_t value;
};
extern const std::array<StateValue, 13> kDefaultRenderStates;

// ((i + 1) x l + 255) truncated to 16 bits, l = level mod 256 (truncating).
GammaRamp ComputeGammaRamp(int32_t level);
// Directional, diffuse (1, 1, 1, 0), specular (0.8, 0.8, 0.8, 0), ambient (0.2, 0.2, 0.2, 0).
Light DefaultLight();
// The billboard: the transpose of the view's rotation, no translation.
Matrix BillboardFromView(const Matrix& view);
// World matrix of the fade quad: two units in front of the eye, facing it.
Matrix FadeQuadWorld(const Camera& camera);
uint32_t FloatBits(float f);
float BitsFloat(uint32_t bits);
// 0xAARRGGBB to (r, g, b, a) in 0..1.
ColourValue ArgbToColour(uint32_t argb);

}  // namespace quadrel::render
