// Every generated model loads into exactly the meshes the game drew before it
// read models itself: the float bits of every position, normal and texture
// coordinate, the indices, the submesh ranges and the materials, compared
// with tests/data/models/mesh_reference.txt (recorded from the old loader).
// QUADREL_WRITE_MESH_REFERENCE=FILE writes the digest instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "AssetFiles.hpp"
#include "platform/render/MeshData.hpp"

namespace quadrel::assettest {
namespace {

using render::MeshData;

uint64_t Fnv(uint64_t h, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

std::string Colour(const render::ColourValue& c) {
  char s[96];
  std::snprintf(s, sizeof s, "%.9g %.9g %.9g %.9g", c.r, c.g, c.b, c.a);
  return s;
}

std::string Digest(const std::string& file, const MeshData& d) {
  uint64_t pos = 0xcbf29ce484222325ull, nrm = pos, uv = pos, idx = pos;
  for (const auto& v : d.vertices) {
    pos = Fnv(pos, v.position, sizeof v.position);
    nrm = Fnv(nrm, v.normal, sizeof v.normal);
    uv = Fnv(uv, v.uv, sizeof v.uv);
  }
  idx = Fnv(idx, d.indices.data(), d.indices.size() * sizeof(uint32_t));
  std::ostringstream o;
  char line[256];
  std::snprintf(line, sizeof line, "%s vertices %zu indices %zu normals %d uvs %d\n", file.c_str(),
                d.vertices.size(), d.indices.size(), int(d.hasNormals), int(d.hasTextureCoords));
  o << line;
  std::snprintf(line, sizeof line, " hash positions %016llx normals %016llx uvs %016llx indices %016llx\n",
                (unsigned long long)pos, (unsigned long long)nrm, (unsigned long long)uv,
                (unsigned long long)idx);
  o << line;
  // The first corner in full, to tell a rounding from a reordering.
  if (!d.vertices.empty()) {
    const auto& v = d.vertices[d.indices.empty() ? 0 : d.indices[0]];
    std::snprintf(line, sizeof line, " first %.9g %.9g %.9g / %.9g %.9g %.9g / %.9g %.9g\n", v.position[0],
                  v.position[1], v.position[2], v.normal[0], v.normal[1], v.normal[2], v.uv[0], v.uv[1]);
    o << line;
  }
  for (const auto& s : d.subsets) {
    const auto& m = s.material;
    o << " subset " << s.firstIndex << ' ' << s.indexCount << " diffuse " << Colour(m.diffuse) << " ambient "
      << Colour(m.ambient) << " specular " << Colour(m.specular) << " emissive " << Colour(m.emissive);
    std::snprintf(line, sizeof line, " power %.9g", m.power);
    o << line << " texture \"" << s.textureName << "\"\n";
  }
  return o.str();
}

TEST(Models, LoadIntoTheSameMeshesAsRecorded) {
  std::string all;
  for (const char* file : {"ball.x", "bar.x", "block_b.x", "block_g.x", "block_p.x", "block_r.x", "block_s.x",
                           "extend.x", "ground.x", "option.x", "wall.x"}) {
    MeshData d;
    std::string error;
    ASSERT_TRUE(render::LoadXMesh((RuntimeDir() / "model" / file).string(), d, &error))
        << file << ": " << error;
    all += Digest(file, d);
  }
  if (const char* out = std::getenv("QUADREL_WRITE_MESH_REFERENCE")) {
    std::ofstream(out) << all;
    return;
  }
  const std::string reference =
      ReadBytes(std::filesystem::path(QUADREL_SOURCE_DIR) / "tests/data/models/mesh_reference.txt");
  std::istringstream want(reference), got(all);
  std::string a, b;
  int line = 0;
  while (std::getline(want, a)) {
    ++line;
    std::getline(got, b);
    EXPECT_EQ(b, a) << "line " << line;
  }
  EXPECT_FALSE(std::getline(got, b)) << "more than recorded: " << b;
}

}  // namespace
}  // namespace quadrel::assettest
