// libFuzzer target: a .x model as the game loads it (the reader, then the
// texture names), and what the renderer takes on trust from a loaded model.
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/render/MeshData.hpp"

using namespace quadrel::render;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MeshData mesh;
  std::string error;
  if (!LoadXMeshFromMemory(data, size, mesh, &error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  for (const MeshSubset& s : mesh.subsets) {
    (void)TexturePath(s.textureName, &error);
    if (uint64_t(s.firstIndex) + s.indexCount > mesh.indices.size()) __builtin_trap();
  }
  for (uint32_t index : mesh.indices)
    if (index >= mesh.vertices.size()) __builtin_trap();  // the game draws with these
  for (const MeshVertex& v : mesh.vertices)
    for (float x : {v.position[0], v.position[1], v.position[2], v.normal[0], v.normal[1], v.normal[2]})
      if (!std::isfinite(x)) __builtin_trap();
  return 0;
}
