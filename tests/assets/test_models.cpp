// Every model through the game's own reader: sizes
// fitted to the field, materials, faces that face outwards in the left-handed
// frame, and block colours that tell the five kinds apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "AssetFiles.hpp"
#include "platform/render/MeshData.hpp"

namespace quadrel::assettest {
namespace {

struct V3 {
  float x = 0, y = 0, z = 0;
  float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
V3 operator/(V3 a, float s) { return {a.x / s, a.y / s, a.z / s}; }
float operator*(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 operator^(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Triangle {
  std::array<V3, 3> p, n;
};

struct LoadedModel {
  std::vector<Triangle> triangles;
  std::vector<render::ColourValue> diffuse;
  std::vector<std::string> textures;  // one per material, empty when none
  V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
  bool hasUv = true;
};

LoadedModel Load(const std::string& name) {
  LoadedModel model;
  render::MeshData mesh;
  std::string error;
  if (!render::LoadXMesh((RuntimeDir() / "model" / name).string(), mesh, &error)) {
    ADD_FAILURE() << name << ": " << error;
    return model;
  }
  model.hasUv = mesh.hasTextureCoords;
  for (const render::MeshSubset& s : mesh.subsets) {
    model.diffuse.push_back(s.material.diffuse);
    model.textures.push_back(s.textureName);
  }
  for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
    Triangle t;
    for (int c = 0; c < 3; ++c) {
      const render::MeshVertex& v = mesh.vertices[mesh.indices[i + size_t(c)]];
      t.p[c] = {v.position[0], v.position[1], v.position[2]};
      t.n[c] = {v.normal[0], v.normal[1], v.normal[2]};
      model.lo = {std::min(model.lo.x, t.p[c].x), std::min(model.lo.y, t.p[c].y), std::min(model.lo.z, t.p[c].z)};
      model.hi = {std::max(model.hi.x, t.p[c].x), std::max(model.hi.y, t.p[c].y), std::max(model.hi.z, t.p[c].z)};
    }
    model.triangles.push_back(t);
  }
  return model;
}

V3 FaceNormal(const Triangle& t) { return (t.p[1] - t.p[0]) ^ (t.p[2] - t.p[0]); }

struct Expected {
  const char* file;
  V3 lo, hi;
  float slack;  // how far each side of the box may lie from the size asked for
  unsigned materials;
  bool convex;
};

// Sizes in the field's units, as the game places the models.
const Expected kModels[] = {
    {"ball.x", {-1, -1, -1}, {1, 1, 1}, 0.02f, 1, true},
    {"block_b.x", {-2, -1, -1}, {2, 1, 1}, 0.02f, 1, true},
    {"block_g.x", {-2, -1, -1}, {2, 1, 1}, 0.02f, 1, true},
    {"block_p.x", {-2, -1, -1}, {2, 1, 1}, 0.02f, 1, true},
    {"block_r.x", {-2, -1, -1}, {2, 1, 1}, 0.02f, 1, true},
    {"block_s.x", {-2, -1, -1}, {2, 1, 1}, 0.02f, 1, true},
    // Its collision box is 7 wide and 1 high above the bar's y.
    {"bar.x", {-3.5f, 0, -1}, {3.5f, 1, 1}, 0.05f, 2, true},
    // Scaled by 30 in the game: the floor under the whole field.
    {"ground.x", {-1, 0, -1}, {1, 0, 1}, 0.001f, 1, false},
    // Drawn at (+-24.5, 28, 0): inner face at |x| = 23, from the floor to above the ceiling at 54.
    {"wall.x", {-1.5f, -28, -2}, {1.5f, 28, 2}, 0.1f, 2, true},
    // Caught within +-2 by +-1 of their centre.
    {"option.x", {-2, -1, -1}, {2, 1, 1}, 0.1f, 3, true},
    {"extend.x", {-2, -1, -1}, {2, 1, 1}, 0.1f, 3, false},
};

TEST(Models, AreDirectXTextFilesWithNormalsCoordinatesAndMaterials) {
  for (const Expected& e : kModels) {
    SCOPED_TRACE(e.file);
    const std::string text = ReadBytes(RuntimeDir() / "model" / e.file);
    EXPECT_EQ(text.substr(0, 16), "xof 0302txt 0032");
    for (const char* block : {"Mesh ", "MeshNormals", "MeshTextureCoords", "MeshMaterialList", "Material"})
      EXPECT_NE(text.find(block), std::string::npos) << block;
  }
}

TEST(Models, LoadAtTheirFieldSizes) {
  for (const Expected& e : kModels) {
    SCOPED_TRACE(e.file);
    const LoadedModel m = Load(e.file);
    ASSERT_FALSE(m.triangles.empty());
    EXPECT_EQ(m.diffuse.size(), e.materials);
    EXPECT_TRUE(m.hasUv);
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_NEAR(m.lo[axis], e.lo[axis], e.slack) << "axis " << axis;
      EXPECT_NEAR(m.hi[axis], e.hi[axis], e.slack) << "axis " << axis;
    }
  }
}

// Left-handed, clockwise front faces: (b - a) x (c - a) points out of the
// front of a face. It must agree with the vertex normals, and on the convex
// models point away from the middle; the ground faces up.
TEST(Models, FrontFacesPointOutwardsAlongTheirNormals) {
  for (const Expected& e : kModels) {
    SCOPED_TRACE(e.file);
    const LoadedModel m = Load(e.file);
    const V3 centre = (m.lo + m.hi) * 0.5f;
    int againstNormals = 0, inwards = 0;
    for (const Triangle& t : m.triangles) {
      const V3 face = FaceNormal(t);
      if ((face * (t.n[0] + t.n[1] + t.n[2])) <= 0) ++againstNormals;
      const V3 middle = (t.p[0] + t.p[1] + t.p[2]) / 3.0f;
      if (e.convex && (face * (middle - centre)) < -1e-6f) ++inwards;
      if (!e.convex && std::string(e.file) == "ground.x" && face.y <= 0) ++inwards;
    }
    EXPECT_EQ(againstNormals, 0);
    EXPECT_EQ(inwards, 0);
  }
}

// Every solid model is closed: each edge between two corners is walked once
// in each direction, so no gap lets the backdrop or a shadow's stencil through.
TEST(Models, SolidsHaveNoHolesOrStrayFaces) {
  auto key = [](const V3& v) {
    return std::array<long, 3>{std::lround(v.x * 1e4), std::lround(v.y * 1e4), std::lround(v.z * 1e4)};
  };
  for (const Expected& e : kModels) {
    if (std::string(e.file) == "ground.x") continue;
    SCOPED_TRACE(e.file);
    const LoadedModel m = Load(e.file);
    std::map<std::array<std::array<long, 3>, 2>, int> walks;
    for (const Triangle& t : m.triangles)
      for (int c = 0; c < 3; ++c) ++walks[{key(t.p[c]), key(t.p[(c + 1) % 3])}];
    int unmatched = 0;
    for (const auto& [edge, count] : walks) {
      const auto back = walks.find({edge[1], edge[0]});
      if (count != 1 || back == walks.end() || back->second != 1) ++unmatched;
    }
    EXPECT_EQ(unmatched, 0);
  }
}

TEST(Models, TexturesTheyNameAreTheFloorPicture) {
  for (const Expected& e : kModels) {
    SCOPED_TRACE(e.file);
    const LoadedModel m = Load(e.file);
    for (const std::string& texture : m.textures) {
      if (texture.empty()) continue;
      // Named relative to the game's working folder, like the models themselves.
      EXPECT_TRUE(texture.rfind("./texture/", 0) == 0) << texture;
      std::string error;
      const DdsPicture picture = ReadDds(ReadBytes(RuntimeDir() / texture), error);
      EXPECT_EQ(error, "") << texture;
    }
    const bool textured = std::any_of(m.textures.begin(), m.textures.end(), [](const std::string& t) { return !t.empty(); });
    EXPECT_EQ(textured, std::string(e.file) == "ground.x");
  }
}

TEST(Models, BlocksShowFiveClearlyDifferentColours) {
  const char* files[] = {"block_b.x", "block_g.x", "block_p.x", "block_r.x", "block_s.x"};
  std::vector<render::ColourValue> colours;
  for (const char* file : files) {
    const LoadedModel m = Load(file);
    ASSERT_EQ(m.diffuse.size(), 1u) << file;
    colours.push_back(m.diffuse[0]);
  }
  const render::ColourValue &b = colours[0], &g = colours[1], &p = colours[2], &r = colours[3], &s = colours[4];
  EXPECT_GT(b.b, std::max(b.r, b.g) + 0.3f);
  EXPECT_GT(g.g, std::max(g.r, g.b) + 0.3f);
  EXPECT_GT(r.r, std::max(r.g, r.b) + 0.3f);
  EXPECT_GT(std::min(p.r, p.b), p.g + 0.3f);  // purple: red and blue over green
  EXPECT_LT(std::max({s.r, s.g, s.b}) - std::min({s.r, s.g, s.b}), 0.15f);  // silver: grey...
  EXPECT_GT(s.g, 0.6f);                                                      // ...and light
  for (size_t i = 0; i < colours.size(); ++i)
    for (size_t j = i + 1; j < colours.size(); ++j) {
      const float dr = colours[i].r - colours[j].r, dg = colours[i].g - colours[j].g, db = colours[i].b - colours[j].b;
      EXPECT_GT(std::sqrt(dr * dr + dg * dg + db * db), 0.35f) << files[i] << " and " << files[j];
    }
}

// A falling option reads as another bar and an extend as another ball: each
// item wears a colour of what it gives.
TEST(Models, ItemsWearTheColoursOfWhatTheyGive) {
  auto shares = [](const LoadedModel& a, const LoadedModel& b) {
    for (const render::ColourValue& x : a.diffuse)
      for (const render::ColourValue& y : b.diffuse)
        if (std::fabs(x.r - y.r) + std::fabs(x.g - y.g) + std::fabs(x.b - y.b) < 0.01f) return true;
    return false;
  };
  const LoadedModel bar = Load("bar.x"), ball = Load("ball.x"), option = Load("option.x"), extend = Load("extend.x");
  EXPECT_TRUE(shares(option, bar));
  EXPECT_TRUE(shares(extend, ball));
  EXPECT_FALSE(shares(option, ball));
  EXPECT_FALSE(shares(extend, bar));
}

}  // namespace
}  // namespace quadrel::assettest
