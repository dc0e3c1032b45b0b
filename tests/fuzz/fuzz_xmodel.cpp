// libFuzzer target: a .x model as the game loads it: the count check, then
// (when it passes) the loader, then the texture names.
#include <cstdint>
#include <string>

#include "platform/render/MeshData.hpp"
#include "platform/render/XModelCheck.hpp"

using namespace quadrel::render;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MeshData mesh;
  std::string error;
  if (LoadXMeshFromMemory(data, size, mesh, &error)) {
    for (const MeshSubset& s : mesh.subsets) (void)TexturePath(s.textureName, &error);
    for (uint32_t index : mesh.indices)
      if (index >= mesh.vertices.size()) __builtin_trap();  // the game draws with these
  }
  return 0;
}
