// The rendering services as the game defines them (registries, matrices,
// render-state defaults, shadow pass, camera, fade, gamma), written once over
// a few backend hooks. The OpenGL and the headless implementation derive from
// it. Every public call can be recorded, in order, with its arguments.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/render/DeviceState.hpp"
#include "platform/render/Graphics.hpp"

namespace quadrel::render {

class GraphicsBase;

// An ordered record of the calls made on the services, one line each, e.g.
// "Mesh#3.SetPosition(0,28,0)" or "Font#1.DrawText(\"LEVEL\",580,0,1,0xFFFFFF00)".
class CallLog {
 public:
  void Enable(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }
  void Add(std::string line) {
    if (enabled_) lines_.push_back(std::move(line));
  }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  bool enabled_ = false;
  std::vector<std::string> lines_;
};

class MeshBase : public Mesh {
  friend class GraphicsBase;

 public:
  explicit MeshBase(GraphicsBase& owner, int id);
  ~MeshBase() override;

  int32_t Load(const char* fileName) final;
  void SetScale(double x, double y, double z) final;
  void SetRotation(double axisX, double axisY, double axisZ, double angleDegrees) final;
  void SetPosition(double x, double y, double z) final;
  void Draw(int32_t withShadow) final;
  void ReleaseResources() final;

  uint32_t MaterialCount() const final { return materialCount_; }
  const Material& MaterialAt(uint32_t i) const final { return materials_.at(i); }
  bool SubsetTextured(uint32_t i) const final { return textures_.at(i) != 0; }
  const Matrix& World() const final { return world_; }
  int Id() const { return id_; }
  const std::string& FileName() const { return fileName_; }

  // Registry links.
  MeshBase* previous = nullptr;
  MeshBase* next = nullptr;

 protected:
  // Loads the file; fills materials (ambient untouched) and one texture handle
  // per material (0 when none). Returns 0 or a failure code.
  virtual int32_t LoadData(const char* fileName, std::vector<Material>& materials,
                           std::vector<uint32_t>& textures) = 0;
  // Draws subset i with the device state as it stands.
  virtual void DrawSubset(uint32_t i) = 0;
  // Frees the geometry and the given textures.
  virtual void ReleaseData(std::vector<uint32_t>& textures) = 0;

  GraphicsBase& owner_;

 private:
  void Empty();
  void DrawShadowPass();

  int id_;
  std::string fileName_;
  bool loaded_ = false;
  std::vector<Material> materials_;
  std::vector<uint32_t> textures_;
  Matrix translation_, rotation_, scale_, world_, shadowWorld_;
  uint32_t materialCount_ = 0;
};

class FontBase : public Font {
  friend class GraphicsBase;

 public:
  explicit FontBase(GraphicsBase& owner, int id);
  ~FontBase() override;

  int32_t Create(const char* faceName, int32_t height, int32_t weight, int32_t italic) final;
  void DrawText(const char* text, int32_t x, int32_t y, uint32_t format, uint32_t colour) final;
  void DrawTextShadow(const char* text, int32_t x, int32_t y, int32_t offset, uint32_t format,
                      uint32_t colour, uint32_t shadowColour) final;
  void ReleaseFont() final;
  bool Created() const final { return created_; }
  int Id() const { return id_; }

  FontBase* previous = nullptr;
  FontBase* next = nullptr;

 protected:
  virtual int32_t CreateFace(const char* faceName, int32_t height, int32_t weight,
                             int32_t italic) = 0;
  virtual void DrawString(const char* text, int32_t x, int32_t y, uint32_t format,
                          uint32_t colour) = 0;
  virtual void ReleaseFace() = 0;

  GraphicsBase& owner_;

 private:
  int id_;
  bool created_ = false;
};

// The fatal reports of the device start-up.
extern const char* const kNoRuntimeText;
extern const char* const kOldRuntimeText;
extern const char* const kInitFailedText;
extern const char* const kVertexBufferText;

class GraphicsBase : public Graphics {
 public:
  GraphicsBase();
  ~GraphicsBase() override;

  int32_t InitDirect3D(int32_t fullScreen) final;
  int32_t BuildPresentParameters(int32_t fullScreen) final;
  int32_t ChangeDisplayMode(int32_t fullScreen, int32_t windowWidth, int32_t windowHeight) final;
  int32_t BeginFrame() final;
  int32_t EndFrame() final;
  void ShutdownDirect3D() final;
  bool DeviceCreated() const final { return deviceCreated_; }
  void SetClearColour(uint32_t argb) final;

  int32_t CreateMeshObject(Mesh*& slot) final;
  int32_t CreateFontObject(Font*& slot) final;
  void DestroyAllMeshes() final;
  void DestroyAllFonts() final;
  int MeshCount() const final;
  int FontCount() const final;
  int32_t LoadBackground(const char* fileName, int32_t width, int32_t height) final;
  int32_t DrawBackground() final;

  Camera& GetCamera() final { return state_.camera; }
  void ApplyCamera() final;
  void GetBillboardMatrix(Matrix& out) final;
  void FadeQuad(uint32_t colour) final;
  void ResetRenderStates() final;
  int32_t SetRenderState(uint32_t state, uint32_t value) final;
  int32_t SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) final;
  void SetMainLight(const Light& light, Vec3 direction, int32_t useDefault) final;
  void SetFog(int32_t enable, uint32_t colour, float start, float end) final;
  int32_t SetShadowProjection(Vec3 lightDirection, Vec3 planePoint, Vec3 planeNormal,
                              ColourValue colour) final;
  void SetGammaLevel(int32_t level) final;

  const DeviceState& State() const final { return state_; }
  DeviceState& MutableState() { return state_; }
  CallLog& Log() { return log_; }
  void Record(std::string line) { log_.Add(std::move(line)); }
  bool Logging() const { return log_.Enabled(); }
  // Unit name the start-up reports name.
  static constexpr const char* kUnit = "Direct3D";

 protected:
  // Start-up in four checks, each reported when it fails.
  virtual int32_t ProbeRuntime() = 0;   // the graphics library can be loaded
  virtual int32_t CreateApi() = 0;      // a context of the needed version can exist
  virtual int32_t CreateDevice() = 0;   // (re)creates the device itself
  virtual int32_t CreateFadeBuffer() = 0;
  virtual int32_t QueryDisplayMode(DisplayMode& mode) = 0;
  // Applies the presentation record (window mode) to the living device.
  virtual int32_t ResetDevice() = 0;
  virtual void SwitchWindow(int32_t fullScreen, int32_t windowWidth, int32_t windowHeight) = 0;
  virtual int32_t TestCooperativeLevel() = 0;
  virtual void Clear(uint32_t colour) = 0;
  virtual int32_t Present() = 0;
  virtual void ReleaseDevice() = 0;
  virtual int32_t LoadBackgroundPicture(const char* fileName, int32_t width, int32_t height) = 0;
  virtual void ReleaseBackground() = 0;
  virtual int32_t CopyBackground() = 0;
  // The fade quad with the fade's render states already set.
  virtual void DrawFadeQuad(uint32_t colour) = 0;
  virtual void GammaChanged() {}
  virtual std::unique_ptr<MeshBase> NewMesh(int id) = 0;
  virtual std::unique_ptr<FontBase> NewFont(int id) = 0;

  void ResetRenderStatesNow();
  void SetRenderStateNow(uint32_t state, uint32_t value);
  int32_t BuildPresentParametersNow(int32_t fullScreen);
  int32_t CreateRenderDeviceNow();

  DeviceState state_;

  // Frees every mesh and font (derived destructors call this while their
  // device still lives).
  void DestroyMeshes();
  void DestroyFonts();

 private:
  friend class MeshBase;
  friend class FontBase;
  void Unlink(MeshBase* m);
  void Unlink(FontBase* f);

  CallLog log_;
  bool deviceCreated_ = false;
  MeshBase* meshHead_ = nullptr;
  FontBase* fontHead_ = nullptr;
  int nextId_ = 1;
};

std::string FormatColour(uint32_t argb);
std::string QuoteText(const char* text);

}  // namespace quadrel::render
