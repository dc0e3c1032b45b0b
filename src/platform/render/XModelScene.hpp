// What the .x reader keeps of a model before it becomes MeshData: frames,
// meshes with their faces as stored, materials. Every index in here has been
// checked against its array by the reader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/render/MeshData.hpp"

namespace quadrel::render::xmodel {

struct Matrix {  // for column vectors: p' = m p; m[row][column]
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

struct Material {
  std::string name;
  bool reference = false;  // {Name} in a material list: only the name is set
  float diffuse[4] = {};
  float power = 0;
  float specular[3] = {};
  float emissive[3] = {};
  std::string texture;  // the first one named; empty when none
};

struct Face {
  uint32_t first = 0;  // into the corner list
  uint32_t count = 0;
};

struct Mesh {
  std::vector<float> positions;  // x, y, z
  std::vector<Face> faces;
  std::vector<uint32_t> corners;  // vertex indices
  std::vector<float> normals;     // x, y, z
  std::vector<Face> normalFaces;  // the same corner counts as faces
  std::vector<uint32_t> normalCorners;
  std::vector<float> uvs;  // u, v per vertex, or none
  bool hasMaterialList = false;
  std::vector<uint32_t> faceMaterials;  // one per face, into materials
  std::vector<Material> materials;
};

struct Frame {
  Matrix local;
  std::vector<std::unique_ptr<Mesh>> meshes;
  std::vector<int> children;
};

struct Scene {
  std::vector<Frame> frames;
  std::vector<int> roots;
  std::vector<std::unique_ptr<Mesh>> globalMeshes;  // outside any frame
  std::vector<Material> globalMaterials;
};

// One subset per material: the models' materials first, then each mesh's in
// the order the frames hold them; faces triangulated, every corner its own vertex.
bool BuildMeshData(Scene& scene, MeshData& out, std::string* error);

}  // namespace quadrel::render::xmodel
