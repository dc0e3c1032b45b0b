#include "XMesh.hpp"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace quadrel::assetgen {

double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Normalize(Vec3 v) {
  const double length = std::sqrt(Dot(v, v));
  return length > 0 ? v * (1.0 / length) : Vec3{0, 1, 0};
}

int XMesh::AddMaterial(const Material& material) {
  materials_.push_back(material);
  return static_cast<int>(materials_.size()) - 1;
}

uint32_t XMesh::AddVertex(const Vertex& vertex) {
  vertices_.push_back(vertex);
  return static_cast<uint32_t>(vertices_.size() - 1);
}

void XMesh::AddTriangle(uint32_t a, uint32_t b, uint32_t c, int material) {
  if (material < 0 || material >= static_cast<int>(materials_.size()))
    throw std::logic_error("triangle with an unknown material");
  const Vec3 pa = vertices_[a].position, pb = vertices_[b].position, pc = vertices_[c].position;
  const Vec3 facing = Cross(pb - pa, pc - pa);
  if (Dot(facing, facing) < 1e-18) return;  // degenerate (a pole of a sphere), draws nothing
  const Vec3 wanted = vertices_[a].normal + vertices_[b].normal + vertices_[c].normal;
  // In the left-handed frame, (b - a) x (c - a) points out of a face whose
  // corners run clockwise on screen: keep that pointing along the normals.
  if (Dot(facing, wanted) < 0) std::swap(b, c);
  triangles_.push_back({a, b, c});
  triangleMaterials_.push_back(material);
}

void XMesh::AddQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, int material) {
  AddTriangle(a, b, c, material);
  AddTriangle(a, c, d, material);
}

namespace {

void Append(std::string& out, const char* format, double a, double b, double c, const char* end) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, end);
  out += buffer;
}

// Zero is written without a sign so that the files do not carry "-0.000000".
double Clean(double v) { return std::fabs(v) < 5e-7 ? 0.0 : v; }

}  // namespace

std::string XMesh::ToXText(const std::string& name) const {
  if (triangles_.empty() || materials_.empty()) throw std::logic_error("empty mesh " + name);
  std::string out = "xof 0302txt 0032\n\n";
  const size_t nv = vertices_.size(), nt = triangles_.size();
  char line[256];

  out += "Mesh " + name + " {\n";
  std::snprintf(line, sizeof line, " %zu;\n", nv);
  out += line;
  for (size_t i = 0; i < nv; ++i) {
    const Vec3 p = vertices_[i].position;
    Append(out, " %.6f;%.6f;%.6f;%s\n", Clean(p.x), Clean(p.y), Clean(p.z), i + 1 < nv ? "," : ";");
  }
  auto faces = [&](std::string& text) {
    std::snprintf(line, sizeof line, " %zu;\n", nt);
    text += line;
    for (size_t i = 0; i < nt; ++i) {
      std::snprintf(line, sizeof line, " 3;%u,%u,%u;%s\n", triangles_[i][0], triangles_[i][1],
                    triangles_[i][2], i + 1 < nt ? "," : ";");
      text += line;
    }
  };
  faces(out);

  out += "\n MeshNormals {\n";
  std::snprintf(line, sizeof line, " %zu;\n", nv);
  out += line;
  for (size_t i = 0; i < nv; ++i) {
    const Vec3 n = Normalize(vertices_[i].normal);
    Append(out, " %.6f;%.6f;%.6f;%s\n", Clean(n.x), Clean(n.y), Clean(n.z), i + 1 < nv ? "," : ";");
  }
  faces(out);
  out += " }\n";

  out += "\n MeshTextureCoords {\n";
  std::snprintf(line, sizeof line, " %zu;\n", nv);
  out += line;
  for (size_t i = 0; i < nv; ++i) {
    std::snprintf(line, sizeof line, " %.6f;%.6f;%s\n", Clean(vertices_[i].u), Clean(vertices_[i].v),
                  i + 1 < nv ? "," : ";");
    out += line;
  }
  out += " }\n";

  out += "\n MeshMaterialList {\n";
  std::snprintf(line, sizeof line, " %zu;\n %zu;\n", materials_.size(), nt);
  out += line;
  for (size_t i = 0; i < nt; ++i) {
    std::snprintf(line, sizeof line, " %d%s\n", triangleMaterials_[i], i + 1 < nt ? "," : ";");
    out += line;
  }
  for (const Material& m : materials_) {
    out += "\n  Material {\n";
    std::snprintf(line, sizeof line, "   %.6f;%.6f;%.6f;%.6f;;\n", m.diffuse.r, m.diffuse.g, m.diffuse.b,
                  m.alpha);
    out += line;
    std::snprintf(line, sizeof line, "   %.6f;\n", m.power);
    out += line;
    Append(out, "   %.6f;%.6f;%.6f;%s\n", m.specular.r, m.specular.g, m.specular.b, ";");
    Append(out, "   %.6f;%.6f;%.6f;%s\n", m.emissive.r, m.emissive.g, m.emissive.b, ";");
    if (!m.texture.empty()) out += "   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
    out += "  }\n";
  }
  out += " }\n}\n";
  return out;
}

}  // namespace quadrel::assetgen
