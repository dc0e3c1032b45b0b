// Small stand-in assets written on the fly: text .x models (boxes, spheres,
// floor quads with one or more materials) and DDS pictures, so the check tool,
// the tests and the benchmark need no real asset files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/render/Picture.hpp"
#include "platform/render/RenderTypes.hpp"

namespace quadrel::sample {

struct XMaterial {
  float r = 1, g = 1, b = 1, a = 1;
  float power = 0;
  float specular[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  std::string texture;  // written as stored, e.g. "texture\\floor.dds"
};

struct XModel {
  std::vector<render::Vec3> positions;
  std::vector<render::Vec3> normals;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<uint32_t, 3>> faces;  // clockwise seen from the front
  std::vector<uint32_t> faceMaterials;
  std::vector<XMaterial> materials;
};

// An axis-aligned box around centre with the given half sizes.
void AddBox(XModel& m, render::Vec3 centre, render::Vec3 half, uint32_t material);
// A sphere of slices x stacks quads.
void AddSphere(XModel& m, render::Vec3 centre, float radius, int slices, int stacks,
               uint32_t material);
// A horizontal rectangle facing +y; u runs along +x, v along -z.
void AddFloor(XModel& m, render::Vec3 centre, float halfX, float halfZ, uint32_t material);
// A vertical rectangle facing -z (towards the default camera); u along +x, v downwards.
void AddPanel(XModel& m, render::Vec3 centre, float halfX, float halfY, uint32_t material);

std::string ToXText(const XModel& m);
bool WriteFile(const std::string& path, const std::string& bytes);
bool WriteX(const std::string& path, const XModel& m);
bool WriteDds(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba,
              render::PixelFormat format);
// RGBA pixels of a w x h picture filled by f(x, y) -> 0xAARRGGBB.
template <typename F>
std::vector<uint8_t> MakePixels(int w, int h, F f) {
  std::vector<uint8_t> p(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = f(x, y);
      uint8_t* d = &p[(size_t(y) * w + x) * 4];
      d[0] = (c >> 16) & 0xFF;
      d[1] = (c >> 8) & 0xFF;
      d[2] = c & 0xFF;
      d[3] = (c >> 24) & 0xFF;
    }
  return p;
}

// The stand-in set the check tool and the benchmark use, written below dir:
// model/{ball,block,bar,item,wall,ground}.x and texture/{back,floor,block}.dds.
bool WriteSampleSet(const std::string& dir);

// A fresh temporary folder (removed by the destructor).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quadrel::sample
