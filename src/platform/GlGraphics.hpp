// The rendering services on OpenGL 3.3 core through SDL2: every frame is drawn
// into a 640 x 480 framebuffer with depth and stencil, then scaled into the
// window (letterboxed) through the gamma ramp. One shader program reproduces
// the fixed-function light, material, fog, texture and state rules.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "platform/GraphicsBase.hpp"

struct SDL_Window;

namespace quadrel::render {

class GlGraphics final : public GraphicsBase {
 public:
  // The window must have been created with OpenGL (see GameWindow.hpp).
  explicit GlGraphics(SDL_Window* window);
  ~GlGraphics() override;

  // The picture of the last frame, RGBA, rows top first, 640 x 480.
  std::vector<uint8_t> ReadPicture();
  // Keep a copy of what each EndFrame puts in the window (RGBA, rows top first).
  void CaptureWindow(bool on) { captureWindow_ = on; }
  const std::vector<uint8_t>& LastWindow(int& width, int& height) const {
    width = windowCaptureWidth_;
    height = windowCaptureHeight_;
    return windowCapture_;
  }
  void SetSwapInterval(int interval);
  bool CompressedTexturesSupported() const { return s3tc_; }
  // Draw calls issued since the last BeginFrame.
  int DrawCalls() const { return drawCalls_; }
  // Live GL texture objects owned by meshes (for release checks).
  int LiveMeshTextures() const { return liveMeshTextures_; }

 protected:
  int32_t ProbeRuntime() override;
  int32_t CreateApi() override;
  int32_t CreateDevice() override;
  int32_t CreateFadeBuffer() override;
  int32_t QueryDisplayMode(DisplayMode& mode) override;
  int32_t ResetDevice() override;
  void SwitchWindow(int32_t fullScreen, int32_t windowWidth, int32_t windowHeight) override;
  int32_t TestCooperativeLevel() override { return kOk; }
  void Clear(uint32_t colour) override;
  int32_t Present() override;
  void ReleaseDevice() override;
  int32_t LoadBackgroundPicture(const char* fileName, int32_t width, int32_t height) override;
  void ReleaseBackground() override;
  int32_t CopyBackground() override;
  void DrawFadeQuad(uint32_t colour) override;
  void GammaChanged() override;
  std::unique_ptr<MeshBase> NewMesh(int id) override;
  std::unique_ptr<FontBase> NewFont(int id) override;

 private:
  friend class GlMesh;
  friend class GlFont;

  struct MainUniforms {
    GLint worldView, projection, normalMatrix;
    GLint lighting, lightEnabled, specularEnable, useVertexColour, textured;
    GLint lightDir, lightDiffuse, lightSpecular, lightAmbient, globalAmbient;
    GLint matDiffuse, matAmbient, matSpecular, matEmissive, matPower;
    GLint fog, fogStart, fogEnd, fogColour;
    GLint alphaTest, alphaFunc, alphaRef;
    GLint texture;
  };
  struct OverlayUniforms {
    GLint colour, mode, texture;
  };

  void DestroyContext();
  // Makes the 3-D program current and the GL state match the device state.
  void Prepare3D();
  void ApplyFixedStates();
  void UploadDrawUniforms(bool useVertexColour);
  void ForgetGlState() { appliedSerial_ = 0; mode_ = Mode::Unknown; }
  void BeginOverlay();
  // Text quads: x, y in picture pixels, u, v in the atlas.
  void DrawOverlayTriangles(const float* vertices, int vertexCount, GLuint texture, int mode,
                            const float colour[4], bool blend);
  GLuint UploadPicture(const struct Picture& picture, bool mipmaps, int* levelsOut);

  enum class Mode { Unknown, Draw3D, Overlay };

  SDL_Window* window_;
  void* context_ = nullptr;
  bool deviceObjects_ = false;
  bool s3tc_ = false;
  int swapInterval_ = 1;

  GLuint fbo_ = 0, colourTexture_ = 0, depthStencil_ = 0;
  GLuint mainProgram_ = 0, overlayProgram_ = 0, presentProgram_ = 0;
  GLuint fadeVao_ = 0, fadeVbo_ = 0;
  GLuint overlayVao_ = 0, overlayVbo_ = 0;
  GLuint emptyVao_ = 0;
  GLuint gammaTexture_ = 0;
  GLuint sampler_ = 0;
  GLuint backgroundTexture_ = 0;
  float backgroundUv_[2] = {1, 1};
  MainUniforms mu_{};
  OverlayUniforms ou_{};
  GLint presentPicture_ = -1, presentGamma_ = -1;

  Mode mode_ = Mode::Unknown;
  uint32_t appliedSerial_ = 0;
  std::array<uint32_t, rs::Count> appliedStates_{};
  bool statesKnown_ = false;
  Light appliedLight_{};
  Matrix appliedView_{}, appliedProjection_{};
  uint32_t appliedSampler_[ss::Count]{};
  Material appliedMaterial_{};
  bool materialKnown_ = false;
  GLuint boundTexture_ = ~0u;
  int useVertexColour_ = -1;
  GLuint boundVao_ = ~0u;

  size_t overlayOffset_ = 0;  // bytes used in the overlay ring this frame
  std::vector<float> overlayScratch_;

  bool captureWindow_ = false;
  std::vector<uint8_t> windowCapture_;
  int windowCaptureWidth_ = 0, windowCaptureHeight_ = 0;
  int drawCalls_ = 0;
  int liveMeshTextures_ = 0;
};

}  // namespace quadrel::render
