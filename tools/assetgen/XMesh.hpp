// Triangle meshes with per-triangle materials, written as DirectX .x text files
// in the left-handed convention the game draws with: x right, y up, z away from
// the camera, front faces clockwise as seen on screen.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::assetgen {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalize(Vec3 v);

struct Colour {
  double r = 0, g = 0, b = 0;
};

struct Material {
  Colour diffuse;
  double alpha = 1.0;
  double power = 16.0;  // specular exponent
  Colour specular;
  Colour emissive;
  std::string texture;  // relative to the game's working folder; empty for none
};

struct Vertex {
  Vec3 position;
  Vec3 normal;
  double u = 0, v = 0;
};

class XMesh {
 public:
  int AddMaterial(const Material& material);
  uint32_t AddVertex(const Vertex& vertex);
  // Adds a triangle and orders its corners so that it faces the way its
  // vertex normals point (clockwise on screen when seen from the front).
  void AddTriangle(uint32_t a, uint32_t b, uint32_t c, int material);
  // Two triangles a-b-c and a-c-d.
  void AddQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, int material);

  const std::vector<Vertex>& Vertices() const { return vertices_; }
  const std::vector<std::array<uint32_t, 3>>& Triangles() const { return triangles_; }
  const std::vector<int>& TriangleMaterials() const { return triangleMaterials_; }
  const std::vector<Material>& Materials() const { return materials_; }

  // The .x text; the name labels the Mesh block.
  std::string ToXText(const std::string& name) const;

 private:
  std::vector<Vertex> vertices_;
  std::vector<std::array<uint32_t, 3>> triangles_;
  std::vector<int> triangleMaterials_;
  std::vector<Material> materials_;
};

}  // namespace quadrel::assetgen
