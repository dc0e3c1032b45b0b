// Rendering services without a display: every call is recorded in order with
// its arguments (Log()), the device state is kept exactly as the OpenGL
// implementation keeps it, and results are configurable, including lost and
// not-reset frames.
#pragma once

#include <deque>
#include <map>
#include <string>

#include "platform/render/GraphicsBase.hpp"

namespace quadrel::render {

class HeadlessGraphics final : public GraphicsBase {
 public:
  HeadlessGraphics();
  ~HeadlessGraphics() override;

  // Start-up: which of the four checks fails (0 = none, 1..4).
  void FailStartupStep(int step) { failStartupStep_ = step; }
  // Results the next BeginFrame / EndFrame calls return, in order; 0 after.
  void QueueBeginFrameResult(int32_t r) { beginResults_.push_back(r); }
  void QueueEndFrameResult(int32_t r) { endResults_.push_back(r); }
  // Mesh::Load of this file returns r (0 by default, with materialCount materials).
  void SetMeshLoadResult(const std::string& file, int32_t r) { meshResults_[file] = r; }
  void SetMeshMaterialCount(const std::string& file, uint32_t n) { meshMaterials_[file] = n; }
  void SetBackgroundResult(const std::string& file, int32_t r) { backgroundResults_[file] = r; }
  void SetFontCreateResult(int32_t r) { fontResult_ = r; }
  void SetDisplayMode(const DisplayMode& m) { displayMode_ = m; }

  // What the device saw.
  int SubsetDraws() const { return subsetDraws_; }
  int FadeQuadDraws() const { return fadeDraws_; }
  int Frames() const { return presents_; }
  int32_t FullScreen() const { return fullScreen_; }
  const std::string& Background() const { return background_; }

  // Counters behind SubsetDraws etc. are kept; the log is in Log().
 protected:
  int32_t ProbeRuntime() override { return failStartupStep_ == 1 ? kFail : kOk; }
  int32_t CreateApi() override { return failStartupStep_ == 2 ? kFail : kOk; }
  int32_t CreateDevice() override { return failStartupStep_ == 3 ? kFail : kOk; }
  int32_t CreateFadeBuffer() override { return failStartupStep_ == 4 ? kFail : kOk; }
  int32_t QueryDisplayMode(DisplayMode& mode) override {
    mode = displayMode_;
    return kOk;
  }
  int32_t ResetDevice() override { return kOk; }
  void SwitchWindow(int32_t fullScreen, int32_t, int32_t) override { fullScreen_ = fullScreen; }
  int32_t TestCooperativeLevel() override;
  void Clear(uint32_t) override {}
  int32_t Present() override;
  void ReleaseDevice() override {}
  int32_t LoadBackgroundPicture(const char* fileName, int32_t, int32_t) override;
  void ReleaseBackground() override { background_.clear(); }
  int32_t CopyBackground() override { return kOk; }
  void DrawFadeQuad(uint32_t) override { ++fadeDraws_; }
  std::unique_ptr<MeshBase> NewMesh(int id) override;
  std::unique_ptr<FontBase> NewFont(int id) override;

 private:
  friend class HeadlessMesh;
  friend class HeadlessFont;
  int failStartupStep_ = 0;
  std::deque<int32_t> beginResults_, endResults_;
  std::map<std::string, int32_t> meshResults_, backgroundResults_;
  std::map<std::string, uint32_t> meshMaterials_;
  int32_t fontResult_ = kOk;
  DisplayMode displayMode_{1024, 768, 60, kFormatX8R8G8B8};
  int subsetDraws_ = 0, fadeDraws_ = 0, presents_ = 0;
  int32_t fullScreen_ = 1;
  std::string background_;
};

}  // namespace quadrel::render
