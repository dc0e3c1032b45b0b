// A model read from a DirectX .x file: one subset per material, in material
// order, with the material and the texture name as the file stores them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

struct MeshVertex {
  float position[3];
  float normal[3];
  float uv[2];
};

struct MeshSubset {
  uint32_t firstIndex = 0;
  uint32_t indexCount = 0;
  Material material{};      // as stored (ambient not yet replaced)
  std::string textureName;  // as stored in the file; empty when none
};

struct MeshData {
  std::vector<MeshVertex> vertices;
  std::vector<uint32_t> indices;  // triangles
  std::vector<MeshSubset> subsets;
  bool hasNormals = false;
  bool hasTextureCoords = false;
};

// Reads the file with the file's own z, winding and texture coordinates; frame
// transforms are applied. Returns false with a reason on failure.
// The file is refused (with a reason) when it is not a regular file, larger
// than 64 MiB, or damaged in any way XModelParser.hpp names.
bool LoadXMesh(const std::string& fileName, MeshData& out, std::string* error = nullptr);
bool LoadXMeshFromMemory(const uint8_t* data, size_t size, MeshData& out,
                         std::string* error = nullptr);
// The path of a texture named inside a model, relative to the game's folder:
// backslashes become slashes and a leading "./" is dropped. Only names under
// "texture/" or "model/" are allowed; an absolute name, a ".." step or any
// other folder gives "" and a reason.
std::string TexturePath(const std::string& storedName, std::string* error = nullptr);

}  // namespace quadrel::render
