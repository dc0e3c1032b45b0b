#include "platform/render/HeadlessGraphics.hpp"

namespace quadrel::render {

class HeadlessMesh final : public MeshBase {
 public:
  HeadlessMesh(HeadlessGraphics& g, int id) : MeshBase(g, id), g_(g) {}

 protected:
  int32_t LoadData(const char* fileName, std::vector<Material>& materials,
                   std::vector<uint32_t>& textures) override {
    const auto r = g_.meshResults_.find(fileName);
    if (r != g_.meshResults_.end() && r->second < 0) return r->second;
    const auto n = g_.meshMaterials_.find(fileName);
    const uint32_t count = n == g_.meshMaterials_.end() ? 1 : n->second;
    Material m{};
    m.diffuse = ColourValue{1, 1, 1, 1};
    materials.assign(count, m);
    textures.assign(count, 0);
    return kOk;
  }
  void DrawSubset(uint32_t) override { ++g_.subsetDraws_; }
  void ReleaseData(std::vector<uint32_t>&) override {}

 private:
  HeadlessGraphics& g_;
};

class HeadlessFont final : public FontBase {
 public:
  HeadlessFont(HeadlessGraphics& g, int id) : FontBase(g, id), g_(g) {}

 protected:
  int32_t CreateFace(const char*, int32_t, int32_t, int32_t) override { return g_.fontResult_; }
  void DrawString(const char*, int32_t, int32_t, uint32_t, uint32_t) override {}
  void ReleaseFace() override {}

 private:
  HeadlessGraphics& g_;
};

HeadlessGraphics::HeadlessGraphics() { Log().Enable(true); }

HeadlessGraphics::~HeadlessGraphics() {
  DestroyMeshes();
  DestroyFonts();
}

int32_t HeadlessGraphics::TestCooperativeLevel() {
  if (beginResults_.empty()) return kOk;
  const int32_t r = beginResults_.front();
  beginResults_.pop_front();
  return r;
}

int32_t HeadlessGraphics::Present() {
  ++presents_;
  if (endResults_.empty()) return kOk;
  const int32_t r = endResults_.front();
  endResults_.pop_front();
  return r;
}

int32_t HeadlessGraphics::LoadBackgroundPicture(const char* fileName, int32_t, int32_t) {
  const auto r = backgroundResults_.find(fileName);
  if (r != backgroundResults_.end() && r->second < 0) return r->second;
  background_ = fileName;
  return kOk;
}

std::unique_ptr<MeshBase> HeadlessGraphics::NewMesh(int id) {
  return std::make_unique<HeadlessMesh>(*this, id);
}

std::unique_ptr<FontBase> HeadlessGraphics::NewFont(int id) {
  return std::make_unique<HeadlessFont>(*this, id);
}

}  // namespace quadrel::render
