// The rendering services on OpenGL 3.3 core through SDL2: every frame is drawn
// into a 640 x 480 framebuffer with depth and stencil, then scaled into the
// window (letterboxed) through the gamma ramp. One shader program reproduces
// the fixed-function light, material, fog, texture and state rules.
#pragma once

#include "platform/render/GlApi.hpp"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/render/GraphicsBase.hpp"

#ifdef __EMSCRIPTEN__
namespace quadrel::render {
class WebCanvas;
using GlWindow = WebCanvas;  // the page's canvas (WebCanvas.hpp)
}  // namespace quadrel::render
#else
struct SDL_Window;
namespace quadrel::render {
using GlWindow = SDL_Window;  // the game window (GameWindow.hpp)
}  // namespace quadrel::render
#endif

namespace quadrel::render {

class GlGraphics final : public GraphicsBase {
 public:
  // The window must have been created with OpenGL (see GameWindow.hpp), or
  // be the page's canvas in the browser.
  explicit GlGraphics(GlWindow* window);
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
    GLint lightDir, lightDiffuse, lightSpecular, lightAmbient, globalAmbient;
    GLint matDiffuse, matAmbient, matSpecular, matEmissive, matPower;
    GLint fogStart, fogEnd, fogColour;
    GLint alphaFunc, alphaRef;
    GLint texture;
  };
  // One compiled combination of the fixed-function switches, with the
  // uniform values it was last given.
  struct MainVariant {
    GLuint program = 0;
    MainUniforms u{};
    bool known = false;
    uint32_t serial = 0;
    uint32_t ambient = 0, fogStart = 0, fogEnd = 0, fogColour = 0, alphaFunc = 0, alphaRef = 0;
    Light light{};
    bool lightEnabled = false;
    Matrix view{}, projection{};
    Material material{};
    bool materialKnown = false;
  };
  static constexpr int kKeyLighting = 1, kKeyTextured = 2, kKeyFog = 4, kKeySpecular = 8,
                       kKeyAlphaTest = 16, kKeyVertexColour = 32;
  struct OverlayUniforms {
    GLint colour, mode, texture;
  };

  // The platform's side, in GlGraphicsSdl.cpp or GlGraphicsWeb.cpp.
  void DestroyContext();
  void MakeCurrent();
  void DrawableSize(int& width, int& height);
  void SwapWindow();
  bool HasExtension(const char* name);
  // Carries out the clear BeginFrame asked for (the colour too, or not).
  void FinishClear(bool colour);
  // Makes the variant for the device state current, with the GL state, its
  // uniforms and the per-draw values (world, material, texture) in place.
  MainVariant* Prepare3D(bool vertexColour);
  MainVariant* Variant(int key);
  void ApplyGlStates();
  void ApplyVariantUniforms(MainVariant& v);
  void ForgetGlState() { appliedSerial_ = 0; mode_ = Mode::Unknown; }
  void BeginOverlay();
  // Text quads: x, y in picture pixels, u, v in the atlas.
  void DrawOverlayTriangles(const float* vertices, int vertexCount, GLuint texture, int mode,
                            const float colour[4], bool blend);
  GLuint UploadPicture(const struct Picture& picture, bool mipmaps, int* levelsOut);

  enum class Mode { Unknown, Draw3D, Overlay };

  GlWindow* window_;
  void* context_ = nullptr;
  bool deviceObjects_ = false;
  bool s3tc_ = false;
  int swapInterval_ = 1;

  GLuint fbo_ = 0, colourTexture_ = 0, depthStencil_ = 0;
  GLuint overlayProgram_ = 0, presentProgram_ = 0;
  std::array<MainVariant, 64> variants_{};
  int currentVariant_ = -1;
  GLuint fadeVao_ = 0, fadeVbo_ = 0;
  GLuint overlayVao_ = 0, overlayVbo_ = 0;
  GLuint emptyVao_ = 0;
  GLuint gammaTexture_ = 0;
  GLuint sampler_ = 0;
  GLuint backgroundTexture_ = 0, backgroundFbo_ = 0;
  int backgroundSize_[2] = {0, 0};
  OverlayUniforms ou_{};
  GLuint presentLinearProgram_ = 0;
  GLint presentPicture_ = -1, presentGamma_ = -1, presentScale_ = -1, presentBias_ = -1;
  int presentFilter_ = 0;  // 1 nearest, 2 linear
  bool gammaLinear_ = true;
  float gammaScale_ = 1.0f, gammaBias_ = 0.0f;

  Mode mode_ = Mode::Unknown;
  uint32_t appliedSerial_ = 0;
  std::array<uint32_t, rs::Count> appliedStates_{};
  bool statesKnown_ = false;
  uint32_t appliedSampler_[ss::Count]{};
  GLuint boundTexture_ = ~0u;
  GLuint boundVao_ = ~0u;

  bool pendingClear_ = false;
  uint32_t pendingClearColour_ = 0;
  size_t overlayOffset_ = 0;  // bytes used in the overlay ring this frame
  std::vector<float> overlayScratch_;

  bool captureWindow_ = false;
  std::vector<uint8_t> windowCapture_;
  int windowCaptureWidth_ = 0, windowCaptureHeight_ = 0;
  int drawCalls_ = 0;
  int liveMeshTextures_ = 0;
};

}  // namespace quadrel::render
