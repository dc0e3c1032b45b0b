// The rendering services the scenes call: the device and its frames, meshes,
// fonts, the background picture and the drawing helpers. Scenes hold a
// Graphics reference; the program passes the OpenGL implementation, tests the
// headless one that records every call.
#pragma once

#include <cstdint>

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

struct DeviceState;

// One loaded model: one subset per material, drawn in material order.
class Mesh {
 public:
  virtual ~Mesh() = default;
  // Empties the mesh first when it holds a model. 0 or the loader's failure.
  virtual int32_t Load(const char* fileName) = 0;
  virtual void SetScale(double x, double y, double z) = 0;
  virtual void SetRotation(double axisX, double axisY, double axisZ, double angleDegrees) = 0;
  virtual void SetPosition(double x, double y, double z) = 0;
  // Draws with scale x rotation x translation; nonzero adds the shadow pass.
  virtual void Draw(int32_t withShadow) = 0;
  virtual void ReleaseResources() = 0;

  virtual uint32_t MaterialCount() const = 0;
  // Material i as drawn (ambient replaced by diffuse).
  virtual const Material& MaterialAt(uint32_t i) const = 0;
  virtual bool SubsetTextured(uint32_t i) const = 0;
  virtual const Matrix& World() const = 0;
};

// One text face at one size.
class Font {
 public:
  virtual ~Font() = default;
  virtual int32_t Create(const char* faceName, int32_t height, int32_t weight, int32_t italic) = 0;
  // x, y: picture pixels; format: kTextLeft / kTextCenter / kTextRight, optionally
  // with kTextVCenter; colour: ARGB. Never clipped.
  virtual void DrawText(const char* text, int32_t x, int32_t y, uint32_t format,
                        uint32_t colour) = 0;
  // The text moved by (offset, offset) in shadowColour, then the text itself.
  virtual void DrawTextShadow(const char* text, int32_t x, int32_t y, int32_t offset,
                              uint32_t format, uint32_t colour, uint32_t shadowColour) = 0;
  virtual void ReleaseFont() = 0;
  virtual bool Created() const = 0;
};

class Graphics {
 public:
  virtual ~Graphics() = default;

  // Device and frames. Results are 0 or a negative code.
  virtual int32_t InitDirect3D(int32_t fullScreen) = 0;
  virtual int32_t BuildPresentParameters(int32_t fullScreen) = 0;
  // Destroys every mesh, font and the background, then switches the window.
  virtual int32_t ChangeDisplayMode(int32_t fullScreen, int32_t windowWidth,
                                    int32_t windowHeight) = 0;
  // kDeviceLost / kDeviceNotReset: draw nothing this frame.
  virtual int32_t BeginFrame() = 0;
  virtual int32_t EndFrame() = 0;
  virtual void ShutdownDirect3D() = 0;
  virtual bool DeviceCreated() const = 0;
  virtual void SetClearColour(uint32_t argb) = 0;

  // Meshes, fonts and the background.
  virtual int32_t CreateMeshObject(Mesh*& slot) = 0;
  virtual int32_t CreateFontObject(Font*& slot) = 0;
  virtual void DestroyAllMeshes() = 0;
  virtual void DestroyAllFonts() = 0;
  virtual int MeshCount() const = 0;
  virtual int FontCount() const = 0;
  virtual int32_t LoadBackground(const char* fileName, int32_t width, int32_t height) = 0;
  virtual int32_t DrawBackground() = 0;

  // Drawing helpers.
  virtual Camera& GetCamera() = 0;
  virtual void ApplyCamera() = 0;
  virtual void GetBillboardMatrix(Matrix& out) = 0;
  virtual void FadeQuad(uint32_t colour) = 0;
  virtual void ResetRenderStates() = 0;
  virtual int32_t SetRenderState(uint32_t state, uint32_t value) = 0;
  virtual int32_t SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) = 0;
  virtual void SetMainLight(const Light& light, Vec3 direction, int32_t useDefault) = 0;
  virtual void SetFog(int32_t enable, uint32_t colour, float start, float end) = 0;
  virtual int32_t SetShadowProjection(Vec3 lightDirection, Vec3 planePoint, Vec3 planeNormal,
                                      ColourValue colour) = 0;
  virtual void SetGammaLevel(int32_t level) = 0;

  // What the device holds now (render states, transforms, light, gamma ...).
  virtual const DeviceState& State() const = 0;
};

}  // namespace quadrel::render
