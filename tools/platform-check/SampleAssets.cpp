#include "SampleAssets.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/render/D3DMath.hpp"

namespace quadrel::sample {

using render::Vec3;

namespace {

void AddQuad(XModel& m, Vec3 c0, Vec3 c1, Vec3 c2, Vec3 c3, Vec3 normal, uint32_t material) {
  // c0 bottom-left, c1 top-left, c2 top-right, c3 bottom-right, seen from the front.
  const uint32_t base = static_cast<uint32_t>(m.positions.size());
  const Vec3 corners[4] = {c0, c1, c2, c3};
  const std::array<float, 2> uv[4] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  for (int i = 0; i < 4; ++i) {
    m.positions.push_back(corners[i]);
    m.normals.push_back(normal);
    m.uvs.push_back(uv[i]);
  }
  m.faces.push_back({base, base + 1, base + 2});
  m.faces.push_back({base, base + 2, base + 3});
  m.faceMaterials.push_back(material);
  m.faceMaterials.push_back(material);
}

// A face with outward normal n, "up" b seen from outside; right = b x (-n).
void AddFace(XModel& m, Vec3 centre, Vec3 n, Vec3 b, float halfRight, float halfUp,
             uint32_t material) {
  using namespace render;
  const Vec3 a = Vec3Cross(b, Vec3Scale(n, -1.0f));
  const Vec3 ar = Vec3Scale(a, halfRight), bu = Vec3Scale(b, halfUp);
  AddQuad(m, Vec3Subtract(Vec3Subtract(centre, ar), bu), Vec3Add(Vec3Subtract(centre, ar), bu),
          Vec3Add(Vec3Add(centre, ar), bu), Vec3Subtract(Vec3Add(centre, ar), bu), n, material);
}

std::string F(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6f", v);
  return b;
}

}  // namespace

void AddBox(XModel& m, Vec3 c, Vec3 h, uint32_t material) {
  AddFace(m, Vec3{c.x, c.y, c.z - h.z}, Vec3{0, 0, -1}, Vec3{0, 1, 0}, h.x, h.y, material);
  AddFace(m, Vec3{c.x, c.y, c.z + h.z}, Vec3{0, 0, 1}, Vec3{0, 1, 0}, h.x, h.y, material);
  AddFace(m, Vec3{c.x - h.x, c.y, c.z}, Vec3{-1, 0, 0}, Vec3{0, 1, 0}, h.z, h.y, material);
  AddFace(m, Vec3{c.x + h.x, c.y, c.z}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, h.z, h.y, material);
  AddFace(m, Vec3{c.x, c.y + h.y, c.z}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, h.x, h.z, material);
  AddFace(m, Vec3{c.x, c.y - h.y, c.z}, Vec3{0, -1, 0}, Vec3{0, 0, -1}, h.x, h.z, material);
}

void AddFloor(XModel& m, Vec3 c, float hx, float hz, uint32_t material) {
  AddFace(m, c, Vec3{0, 1, 0}, Vec3{0, 0, 1}, hx, hz, material);
}

void AddPanel(XModel& m, Vec3 c, float hx, float hy, uint32_t material) {
  AddFace(m, c, Vec3{0, 0, -1}, Vec3{0, 1, 0}, hx, hy, material);
}

void AddSphere(XModel& m, Vec3 c, float r, int slices, int stacks, uint32_t material) {
  using namespace render;
  const uint32_t base = static_cast<uint32_t>(m.positions.size());
  const float pi = 3.14159265f;
  for (int i = 0; i <= stacks; ++i) {
    const float phi = pi * float(i) / float(stacks);  // 0 at the top
    for (int j = 0; j <= slices; ++j) {
      const float theta = 2.0f * pi * float(j) / float(slices);
      const Vec3 n{std::sin(phi) * std::cos(theta), std::cos(phi), std::sin(phi) * std::sin(theta)};
      m.positions.push_back(Vec3Add(c, Vec3Scale(n, r)));
      m.normals.push_back(n);
      m.uvs.push_back({float(j) / float(slices), float(i) / float(stacks)});
    }
  }
  const uint32_t row = static_cast<uint32_t>(slices + 1);
  for (int i = 0; i < stacks; ++i)
    for (int j = 0; j < slices; ++j) {
      const uint32_t a = base + uint32_t(i) * row + uint32_t(j), b = a + 1, cc = a + row,
                     d = cc + 1;
      for (const std::array<uint32_t, 3>& t :
           {std::array<uint32_t, 3>{a, cc, b}, std::array<uint32_t, 3>{b, cc, d}}) {
        // Keep the front (clockwise) side outside: the cross product points out.
        const Vec3 p0 = m.positions[t[0]], p1 = m.positions[t[1]], p2 = m.positions[t[2]];
        const Vec3 n = Vec3Cross(Vec3Subtract(p1, p0), Vec3Subtract(p2, p0));
        const Vec3 out = Vec3Subtract(p0, c);
        if (Vec3Dot(n, n) < 1e-12f) continue;  // degenerate at the poles
        if (Vec3Dot(n, out) >= 0) m.faces.push_back(t);
        else m.faces.push_back({t[0], t[2], t[1]});
        m.faceMaterials.push_back(material);
      }
    }
}

std::string ToXText(const XModel& m) {
  std::ostringstream o;
  o << "xof 0303txt 0032\n\n";
  for (size_t i = 0; i < m.materials.size(); ++i) {
    const XMaterial& mt = m.materials[i];
    o << "Material M" << i << " {\n " << F(mt.r) << ";" << F(mt.g) << ";" << F(mt.b) << ";"
      << F(mt.a) << ";;\n " << F(mt.power) << ";\n " << F(mt.specular[0]) << ";"
      << F(mt.specular[1]) << ";" << F(mt.specular[2]) << ";;\n " << F(mt.emissive[0]) << ";"
      << F(mt.emissive[1]) << ";" << F(mt.emissive[2]) << ";;\n";
    if (!mt.texture.empty()) {
      std::string escaped;
      for (char c : mt.texture) {
        if (c == '\\') escaped += "\\\\";
        else escaped += c;
      }
      o << " TextureFilename { \"" << escaped << "\"; }\n";
    }
    o << "}\n\n";
  }
  auto list = [&o](size_t n, auto item) {
    for (size_t i = 0; i < n; ++i) {
      item(i);
      o << (i + 1 < n ? ",\n" : ";\n");
    }
  };
  o << "Mesh Model {\n " << m.positions.size() << ";\n";
  list(m.positions.size(), [&](size_t i) {
    o << " " << F(m.positions[i].x) << ";" << F(m.positions[i].y) << ";" << F(m.positions[i].z) << ";";
  });
  o << " " << m.faces.size() << ";\n";
  list(m.faces.size(), [&](size_t i) {
    o << " 3;" << m.faces[i][0] << "," << m.faces[i][1] << "," << m.faces[i][2] << ";";
  });
  o << " MeshNormals {\n " << m.normals.size() << ";\n";
  list(m.normals.size(), [&](size_t i) {
    o << " " << F(m.normals[i].x) << ";" << F(m.normals[i].y) << ";" << F(m.normals[i].z) << ";";
  });
  o << " " << m.faces.size() << ";\n";
  list(m.faces.size(), [&](size_t i) {
    o << " 3;" << m.faces[i][0] << "," << m.faces[i][1] << "," << m.faces[i][2] << ";";
  });
  o << " }\n MeshTextureCoords {\n " << m.uvs.size() << ";\n";
  list(m.uvs.size(), [&](size_t i) { o << " " << F(m.uvs[i][0]) << ";" << F(m.uvs[i][1]) << ";"; });
  o << " }\n MeshMaterialList {\n " << m.materials.size() << ";\n " << m.faceMaterials.size()
    << ";\n";
  list(m.faceMaterials.size(), [&](size_t i) { o << " " << m.faceMaterials[i]; });
  for (size_t i = 0; i < m.materials.size(); ++i) o << " {M" << i << "}\n";
  o << " }\n}\n";
  return o.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

bool WriteX(const std::string& path, const XModel& m) { return WriteFile(path, ToXText(m)); }

bool WriteDds(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba,
              render::PixelFormat format) {
  const std::vector<uint8_t> bytes = render::EncodeDds(width, height, rgba, format);
  return WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

bool WriteSampleSet(const std::string& dir) {
  using render::PixelFormat;
  bool ok = true;
  // Background: a vertical gradient with a grid.
  ok &= WriteDds(dir + "/texture/back.dds", 640, 480,
                 MakePixels(640, 480,
                            [](int x, int y) -> uint32_t {
                              const uint32_t g = uint32_t(40 + y * 120 / 480);
                              const bool line = x % 64 == 0 || y % 64 == 0;
                              return line ? 0xFF8090A0u : (0xFF000000u | (g / 3) << 16 | g / 2 << 8 | g);
                            }),
                 PixelFormat::Bgrx8);
  ok &= WriteDds(dir + "/texture/floor.dds", 64, 64,
                 MakePixels(64, 64,
                            [](int x, int y) -> uint32_t {
                              return ((x / 8 + y / 8) % 2) ? 0xFFB0B0B0u : 0xFF707880u;
                            }),
                 PixelFormat::Dxt1);
  ok &= WriteDds(dir + "/texture/block.dds", 32, 32,
                 MakePixels(32, 32,
                            [](int x, int y) -> uint32_t {
                              const bool edge = x < 2 || y < 2 || x > 29 || y > 29;
                              return edge ? 0xFFFFFFFFu : 0xFFE0E0E0u;
                            }),
                 PixelFormat::Bgra8);

  XMaterial white;
  XModel ball;
  XMaterial silver{0.8f, 0.8f, 0.9f, 1.0f, 20.0f, {0.6f, 0.6f, 0.6f}, {0, 0, 0}, ""};
  ball.materials = {silver};
  AddSphere(ball, Vec3{0, 0, 0}, 1.0f, 16, 10, 0);
  ok &= WriteX(dir + "/model/ball.x", ball);

  XModel block;
  XMaterial red{0.9f, 0.2f, 0.2f, 1.0f, 8.0f, {0.3f, 0.3f, 0.3f}, {0, 0, 0}, "texture\\block.dds"};
  block.materials = {red};
  AddBox(block, Vec3{0, 0, 0}, Vec3{2.2f, 1.2f, 1.2f}, 0);
  ok &= WriteX(dir + "/model/block.x", block);

  XModel bar;
  XMaterial blue{0.3f, 0.5f, 1.0f, 1.0f, 10.0f, {0.5f, 0.5f, 0.5f}, {0, 0, 0}, ""};
  bar.materials = {blue};
  AddBox(bar, Vec3{0, 0, 0}, Vec3{4.0f, 0.8f, 1.5f}, 0);
  ok &= WriteX(dir + "/model/bar.x", bar);

  XModel item;
  XMaterial green{0.3f, 1.0f, 0.4f, 1.0f, 0.0f, {0, 0, 0}, {0.1f, 0.2f, 0.1f}, ""};
  item.materials = {green};
  AddSphere(item, Vec3{0, 0, 0}, 1.2f, 8, 6, 0);
  ok &= WriteX(dir + "/model/item.x", item);

  XModel wall;
  XMaterial grey{0.6f, 0.6f, 0.65f, 1.0f, 0.0f, {0, 0, 0}, {0, 0, 0}, ""};
  wall.materials = {grey};
  AddBox(wall, Vec3{0, 0, 0}, Vec3{0.5f, 28.0f, 3.0f}, 0);
  ok &= WriteX(dir + "/model/wall.x", wall);

  XModel ground;
  XMaterial floorMaterial{1, 1, 1, 1, 0, {0, 0, 0}, {0, 0, 0}, "texture\\floor.dds"};
  ground.materials = {floorMaterial};
  AddFloor(ground, Vec3{0, 0, 0}, 1.0f, 1.0f, 0);
  ok &= WriteX(dir + "/model/ground.x", ground);
  (void)white;
  return ok;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quadrel-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) path_ = buffer.data();
}

TempDir::~TempDir() {
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
}

}  // namespace quadrel::sample
