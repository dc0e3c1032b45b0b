// quadrel-asset-preview RUNTIME_FOLDER OUTPUT_FOLDER
// Renders what the generated assets look like, for a person to judge, until the
// game can show them itself: every model loaded through the game's reader
// and drawn with the game's light and planar shadow (models.png), the
// opening field of a game seen through the game's camera with its fog
// (game.png), and each picture with boxes where its scene draws text
// (*_layout.png). A small software rasteriser with fixed-function lighting.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "AssetFiles.hpp"
#include "platform/render/MeshData.hpp"

namespace fs = std::filesystem;
using namespace quadrel::assettest;

namespace {

struct V3 {
  float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
V3 Mul(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Norm(V3 a) {
  const float l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1 / l) : a;
}

// Row-vector matrices, as the game's maths library uses them: v' = v M.
struct M4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
M4 operator*(const M4& a, const M4& b) {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = 0;
      for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    }
  return r;
}
std::array<float, 4> Apply(const M4& m, V3 v, float w) {
  std::array<float, 4> r{};
  for (int j = 0; j < 4; ++j) r[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + w * m.m[3][j];
  return r;
}
M4 Scaling(float x, float y, float z) {
  M4 r;
  r.m[0][0] = x, r.m[1][1] = y, r.m[2][2] = z;
  return r;
}
M4 Translation(V3 t) {
  M4 r;
  r.m[3][0] = t.x, r.m[3][1] = t.y, r.m[3][2] = t.z;
  return r;
}
M4 RotationAxis(V3 axis, float angle) {
  const V3 a = Norm(axis);
  const float c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  M4 r;
  r.m[0][0] = t * a.x * a.x + c, r.m[0][1] = t * a.x * a.y + s * a.z, r.m[0][2] = t * a.x * a.z - s * a.y;
  r.m[1][0] = t * a.x * a.y - s * a.z, r.m[1][1] = t * a.y * a.y + c, r.m[1][2] = t * a.y * a.z + s * a.x;
  r.m[2][0] = t * a.x * a.z + s * a.y, r.m[2][1] = t * a.y * a.z - s * a.x, r.m[2][2] = t * a.z * a.z + c;
  return r;
}
M4 LookAtLH(V3 eye, V3 at, V3 up) {
  const V3 z = Norm(at - eye), x = Norm(Cross(up, z)), y = Cross(z, x);
  M4 r;
  r.m[0][0] = x.x, r.m[1][0] = x.y, r.m[2][0] = x.z, r.m[3][0] = -Dot(x, eye);
  r.m[0][1] = y.x, r.m[1][1] = y.y, r.m[2][1] = y.z, r.m[3][1] = -Dot(y, eye);
  r.m[0][2] = z.x, r.m[1][2] = z.y, r.m[2][2] = z.z, r.m[3][2] = -Dot(z, eye);
  return r;
}
M4 PerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  const float ys = 1 / std::tan(fovy / 2);
  M4 r;
  r.m[0][0] = ys / aspect, r.m[1][1] = ys, r.m[2][2] = zf / (zf - zn), r.m[2][3] = 1;
  r.m[3][2] = -zn * zf / (zf - zn), r.m[3][3] = 0;
  return r;
}
// Flattens onto the plane y = h along a directional light.
M4 Shadow(V3 light, float h) {
  const float p[4] = {0, 1, 0, -h}, l[4] = {light.x, light.y, light.z, 0};
  const float d = p[0] * l[0] + p[1] * l[1] + p[2] * l[2] + p[3] * l[3];
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = (i == j ? d : 0) - p[i] * l[j];
  return r;
}

struct Texture {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  V3 Sample(float u, float v) const {  // bilinear, u clamped (as the game sets it), v wrapped
    u = std::clamp(u, 0.0f, 1.0f) * w - 0.5f;
    v = (v - std::floor(v)) * h - 0.5f;
    const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
    const float fx = u - x0, fy = v - y0;
    auto at = [&](int x, int y) {
      x = std::clamp(x, 0, w - 1), y = ((y % h) + h) % h;
      const uint32_t p = px[static_cast<size_t>(y) * w + x];
      return V3{((p >> 16) & 255) / 255.0f, ((p >> 8) & 255) / 255.0f, (p & 255) / 255.0f};
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) + (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
  }
};

Texture LoadTexture(const fs::path& path) {
  std::string error;
  DdsPicture p = ReadDds(ReadBytes(path), error);
  Texture t;
  if (error.empty()) t = {static_cast<int>(p.width), static_cast<int>(p.height), std::move(p.pixels)};
  else std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
  return t;
}

struct Material {
  V3 diffuse, specular, emissive;
  float alpha = 1, power = 1;
  const Texture* texture = nullptr;
};
struct Corner {
  V3 p, n;
  float u = 0, v = 0;
};
struct Model {
  std::vector<std::array<Corner, 3>> triangles;
  std::vector<int> material;
  std::vector<Material> materials;
  V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
};

std::map<std::string, Texture> textures;

Model LoadModel(const fs::path& runtime, const std::string& name) {
  Model model;
  quadrel::render::MeshData mesh;
  std::string error;
  if (!quadrel::render::LoadXMesh((runtime / "model" / name).string(), mesh, &error)) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
    return model;
  }
  for (const auto& subset : mesh.subsets) {
    const auto &d = subset.material.diffuse, &s = subset.material.specular, &e = subset.material.emissive;
    Material mat{{d.r, d.g, d.b}, {s.r, s.g, s.b}, {e.r, e.g, e.b}, d.a, subset.material.power, nullptr};
    if (!subset.textureName.empty()) {
      const std::string& key = subset.textureName;
      if (!textures.count(key)) textures[key] = LoadTexture(runtime / key);
      mat.texture = &textures[key];
    }
    const int materialIndex = static_cast<int>(model.materials.size());
    model.materials.push_back(mat);
    for (uint32_t f = subset.firstIndex; f + 2 < subset.firstIndex + subset.indexCount; f += 3) {
      std::array<Corner, 3> tri;
      for (int c = 0; c < 3; ++c) {
        const auto& v = mesh.vertices[mesh.indices[f + uint32_t(c)]];
        tri[c].p = {v.position[0], v.position[1], v.position[2]};
        tri[c].n = {v.normal[0], v.normal[1], v.normal[2]};
        tri[c].u = v.uv[0], tri[c].v = v.uv[1];
        model.lo = {std::min(model.lo.x, tri[c].p.x), std::min(model.lo.y, tri[c].p.y), std::min(model.lo.z, tri[c].p.z)};
        model.hi = {std::max(model.hi.x, tri[c].p.x), std::max(model.hi.y, tri[c].p.y), std::max(model.hi.z, tri[c].p.z)};
      }
      model.triangles.push_back(tri);
      model.material.push_back(materialIndex);
    }
  }
  return model;
}

struct Frame {
  int w, h;
  std::vector<V3> colour;
  std::vector<float> depth;
  std::vector<uint8_t> stencil;
  Frame(int width, int height)
      : w(width), h(height), colour(static_cast<size_t>(width) * height), depth(colour.size(), 1.0f), stencil(colour.size()) {}
};

struct View {
  M4 view, projection;
  V3 eye;
};

const V3 kLightDirection = Norm({1, -1, 1});

enum class Pass { Lit, Unlit, Shadow };

void Draw(Frame& frame, const Model& model, const M4& world, const View& view, Pass pass, bool fog) {
  const M4 toClip = world * view.view * view.projection;
  const M4 toView = world * view.view;
  for (size_t t = 0; t < model.triangles.size(); ++t) {
    const Material& mat = model.materials[model.material[t]];
    struct Out {
      float sx, sy, z, invW;
      V3 colour;
      float u, v;
    } out[3];
    bool behind = false;
    for (int c = 0; c < 3; ++c) {
      const Corner& k = model.triangles[t][c];
      const auto clip = Apply(toClip, k.p, 1);
      if (clip[3] < 0.5f) behind = true;
      const auto worldPos4 = Apply(world, k.p, 1);
      const V3 p{worldPos4[0], worldPos4[1], worldPos4[2]};
      const auto n4 = Apply(world, k.n, 0);
      const V3 n = Norm({n4[0], n4[1], n4[2]});
      V3 colour{1, 1, 1};
      if (pass == Pass::Lit) {
        const float lambert = std::max(0.0f, -Dot(n, kLightDirection));
        const V3 half = Norm(Norm(view.eye - p) - kLightDirection);
        const float highlight = lambert > 0 ? std::pow(std::max(0.0f, Dot(n, half)), mat.power) : 0;
        colour = mat.emissive + mat.diffuse * 0.2f + mat.diffuse * lambert;
        colour = {std::min(colour.x, 1.0f), std::min(colour.y, 1.0f), std::min(colour.z, 1.0f)};
        colour = colour + mat.specular * (0.8f * highlight);
      }
      if (fog && pass != Pass::Shadow) {
        const float z = Apply(toView, k.p, 1)[2];
        colour = colour * std::clamp((180.0f - z) / 80.0f, 0.0f, 1.0f);
      }
      out[c] = {(clip[0] / clip[3] + 1) * 0.5f * frame.w, (1 - clip[1] / clip[3]) * 0.5f * frame.h, clip[2] / clip[3],
                1 / clip[3], colour, k.u, k.v};
    }
    if (behind) continue;
    const float area = (out[1].sx - out[0].sx) * (out[2].sy - out[0].sy) - (out[2].sx - out[0].sx) * (out[1].sy - out[0].sy);
    if (area <= 0) continue;  // counter-clockwise on screen: a back face, culled
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({out[0].sx, out[1].sx, out[2].sx}))));
    const int x1 = std::min(frame.w - 1, static_cast<int>(std::ceil(std::max({out[0].sx, out[1].sx, out[2].sx}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({out[0].sy, out[1].sy, out[2].sy}))));
    const int y1 = std::min(frame.h - 1, static_cast<int>(std::ceil(std::max({out[0].sy, out[1].sy, out[2].sy}))));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        float b[3];
        for (int e = 0; e < 3; ++e) {
          const Out &a = out[(e + 1) % 3], &c = out[(e + 2) % 3];
          b[e] = ((c.sx - a.sx) * (py - a.sy) - (px - a.sx) * (c.sy - a.sy)) / area;
        }
        if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
        const size_t i = static_cast<size_t>(y) * frame.w + x;
        const float z = b[0] * out[0].z + b[1] * out[1].z + b[2] * out[2].z;
        if (z < 0 || z > frame.depth[i]) continue;
        if (pass == Pass::Shadow) {
          if (frame.stencil[i]) continue;
          frame.stencil[i] = 1;
          frame.colour[i] = frame.colour[i] * (1 - 150.0f / 255.0f);
          continue;
        }
        frame.depth[i] = z;
        const float w = b[0] * out[0].invW + b[1] * out[1].invW + b[2] * out[2].invW;
        auto lerp = [&](auto get) { return (get(out[0]) * (b[0] * out[0].invW) + get(out[1]) * (b[1] * out[1].invW) + get(out[2]) * (b[2] * out[2].invW)) * (1 / w); };
        V3 colour = lerp([](const Out& o) { return o.colour; });
        if (mat.texture && mat.texture->w > 0) {
          const float u = lerp([](const Out& o) { return o.u; }), v = lerp([](const Out& o) { return o.v; });
          colour = Mul(colour, mat.texture->Sample(u, v));
        }
        frame.colour[i] = colour;
      }
    }
  }
}

void DrawWithShadow(Frame& frame, const Model& model, const M4& world, const View& view, float planeY) {
  Draw(frame, model, world, view, Pass::Lit, true);
  Draw(frame, model, world * Shadow({0, 50, -50}, planeY), view, Pass::Shadow, false);
}

// ---- PNG output (stored deflate blocks: big files, no dependency) ----------

uint32_t Crc(const unsigned char* data, size_t n, uint32_t crc = 0) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 255] ^ (crc >> 8);
  return ~crc;
}

void WritePng(const fs::path& path, int w, int h, const std::vector<uint32_t>& argb) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = argb[static_cast<size_t>(y) * w + x];
      raw.push_back(static_cast<char>(p >> 16)), raw.push_back(static_cast<char>(p >> 8)), raw.push_back(static_cast<char>(p));
    }
  }
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (size_t at = 0; at < raw.size(); at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<char>(n & 255)), z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 255)), z.push_back(static_cast<char>((~n >> 8) & 255));
    z.append(raw, at, n);
  }
  const uint32_t adler = b << 16 | a;
  for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<char>(adler >> s));
  std::string png = "\x89PNG\r\n\x1a\n";
  auto chunk = [&](const char* type, const std::string& data) {
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<char>(data.size() >> s));
    const std::string body = std::string(type) + data;
    png += body;
    const uint32_t crc = Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size());
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<char>(crc >> s));
  };
  std::string header;
  for (int v : {w, h})
    for (int s = 24; s >= 0; s -= 8) header.push_back(static_cast<char>(v >> s));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  chunk("IHDR", header);
  chunk("IDAT", z);
  chunk("IEND", "");
  std::ofstream(path, std::ios::binary) << png;
}

// Averages factor x factor samples into one pixel.
std::vector<uint32_t> Resolve(const Frame& f, int factor) {
  const int w = f.w / factor, h = f.h / factor;
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      V3 sum;
      for (int dy = 0; dy < factor; ++dy)
        for (int dx = 0; dx < factor; ++dx) sum = sum + f.colour[static_cast<size_t>(y * factor + dy) * f.w + x * factor + dx];
      sum = sum * (1.0f / (factor * factor));
      auto ch = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); };
      out[static_cast<size_t>(y) * w + x] = 0xFF000000u | ch(sum.x) << 16 | ch(sum.y) << 8 | ch(sum.z);
    }
  return out;
}

void Backdrop(Frame& f, const Texture& t, int factor) {
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const uint32_t p = t.px[static_cast<size_t>(y / factor) * t.w + x / factor];
      f.colour[static_cast<size_t>(y) * f.w + x] = {((p >> 16) & 255) / 255.0f, ((p >> 8) & 255) / 255.0f, (p & 255) / 255.0f};
    }
}

const char* kModelNames[] = {"ball.x", "block_b.x", "block_g.x", "block_p.x", "block_r.x", "block_s.x",
                             "bar.x",  "ground.x",  "wall.x",    "option.x",  "extend.x"};

void ContactSheet(const fs::path& out, const std::vector<Model>& models) {
  constexpr int kCellW = 320, kCellH = 240, kAa = 2;
  std::vector<uint32_t> sheet(static_cast<size_t>(4 * kCellW) * 3 * kCellH, 0xFF202020u);
  Model floor;
  floor.materials.push_back({{0.45f, 0.45f, 0.5f}, {0, 0, 0}, {0, 0, 0}, 1, 1, nullptr});
  const V3 up{0, 1, 0};
  floor.triangles.push_back({Corner{{-1, 0, -1}, up}, Corner{{-1, 0, 1}, up}, Corner{{1, 0, 1}, up}});
  floor.triangles.push_back({Corner{{-1, 0, -1}, up}, Corner{{1, 0, 1}, up}, Corner{{1, 0, -1}, up}});
  floor.material = {0, 0};
  for (size_t m = 0; m < models.size(); ++m) {
    const Model& model = models[m];
    Frame frame(kCellW * kAa, kCellH * kAa);
    for (V3& c : frame.colour) c = {0.08f, 0.09f, 0.12f};
    const V3 centre = (model.lo + model.hi) * 0.5f;
    const float radius = std::max(0.5f, std::sqrt(Dot(model.hi - model.lo, model.hi - model.lo)) * 0.5f);
    const V3 eye = centre + Norm({-0.35f, 0.5f, -1.0f}) * (radius / std::sin(0.35f) * 1.05f);
    const View view{LookAtLH(eye, centre, up), PerspectiveFovLH(0.7f, 4.0f / 3, 0.1f, 500), eye};
    const bool isGround = std::string(kModelNames[m]) == "ground.x";
    if (!isGround) {
      const float size = radius * 3;
      Draw(frame, floor, Scaling(size, 1, size) * Translation({centre.x, model.lo.y - 0.01f, centre.z + radius}), view, Pass::Lit, false);
      DrawWithShadow(frame, model, M4{}, view, model.lo.y);
    } else {
      Draw(frame, model, M4{}, view, Pass::Unlit, false);
    }
    const auto pixels = Resolve(frame, kAa);
    const int cx = static_cast<int>(m % 4) * kCellW, cy = static_cast<int>(m / 4) * kCellH;
    for (int y = 0; y < kCellH; ++y)
      for (int x = 0; x < kCellW; ++x) sheet[static_cast<size_t>(cy + y) * 4 * kCellW + cx + x] = pixels[static_cast<size_t>(y) * kCellW + x];
  }
  WritePng(out / "models.png", 4 * kCellW, 3 * kCellH, sheet);
}

void GameView(const fs::path& runtime, const fs::path& out, const std::vector<Model>& models) {
  constexpr int kAa = 3;
  Frame frame(640 * kAa, 480 * kAa);
  Backdrop(frame, LoadTexture(runtime / "texture" / "back.dds"), kAa);
  const V3 eye{0, 20, -70};
  const View view{LookAtLH(eye, {0, 25, 0}, {0, 1, 0}), PerspectiveFovLH(45 * 0.017453292f, 4.0f / 3, 1, 300), eye};
  Draw(frame, models[7], Scaling(30, 30, 30), view, Pass::Unlit, false);
  for (float x : {-24.5f, 24.5f}) DrawWithShadow(frame, models[8], Translation({x, 28, 0}), view, 0.1f);
  for (int k = 0; k < 50; ++k) {
    const int r = k / 10, c = k % 10, colour = (k / 5) % 5 + 1;
    if (k == 23) continue;  // struck: drawn flying away below
    DrawWithShadow(frame, models[colour], Translation({c * 4.4f - 22 + 2, 50 - r * 2.5f, 0}), view, 0.1f);
  }
  DrawWithShadow(frame, models[4], RotationAxis({0.5f, -1, -1}, 0.9f) * Translation({-8.8f + 2, 44, 9}), view, 0.1f);
  DrawWithShadow(frame, models[9], RotationAxis({-1, 0, 0}, 0.6f) * Translation({-10, 22, 0}), view, 0.1f);
  DrawWithShadow(frame, models[10], RotationAxis({-1, 0, 0}, 1.2f) * Translation({12, 15, 0}), view, 0.1f);
  DrawWithShadow(frame, models[0], Translation({3, 12, 0}), view, 0.1f);
  DrawWithShadow(frame, models[0], Translation({-3, 33, 0}), view, 0.1f);
  DrawWithShadow(frame, models[6], Translation({1, 4, 0}), view, 0.1f);
  WritePng(out / "game.png", 640, 480, Resolve(frame, kAa));
}

// Where each scene draws its texts: x, y, alignment (0 left, 1 centre, 2 right),
// font height, characters, colour.
struct TextBox {
  int x, y, align, height, chars;
  uint32_t colour;
};

void Layout(const fs::path& runtime, const fs::path& out, const char* name, const std::vector<TextBox>& boxes) {
  std::string error;
  DdsPicture p = ReadDds(ReadBytes(runtime / "texture" / (std::string(name) + ".dds")), error);
  if (!error.empty()) return;
  WritePng(out / (std::string(name) + ".png"), 640, 480, p.pixels);
  for (const TextBox& b : boxes) {
    const int width = b.chars * b.height * 11 / 20;
    const int left = b.align == 0 ? b.x : b.align == 1 ? b.x - width / 2 : b.x - width;
    for (int y = b.y; y < b.y + b.height && y < 480; ++y)
      for (int x = std::max(0, left); x < std::min(640, left + width); ++x)
        if (y == b.y || y == b.y + b.height - 1 || x == left || x == left + width - 1 || (x + y) % 7 == 0)
          p.pixels[static_cast<size_t>(y) * 640 + x] = b.colour;
  }
  WritePng(out / (std::string(name) + "_layout.png"), 640, 480, p.pixels);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s RUNTIME_FOLDER OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path runtime = argv[1], out = argv[2];
  fs::create_directories(out);
  std::vector<Model> models;
  for (const char* name : kModelNames) models.push_back(LoadModel(runtime, name));
  ContactSheet(out, models);
  GameView(runtime, out, models);
  Layout(runtime, out, "back", {{0, 0, 0, 32, 8, 0xFF0096FF}, {580, 0, 1, 20, 5, 0xFFFFFF00}, {580, 20, 1, 32, 1, 0xFF96FF64},
                                {580, 60, 1, 20, 8, 0xFFFFFF00}, {580, 80, 1, 32, 3, 0xFFFF6432}, {580, 120, 1, 20, 9, 0xFFFFFF00},
                                {580, 140, 1, 32, 2, 0xFFFFFFFF}, {0, 460, 0, 20, 9, 0xFFFFFF00}, {624, 460, 2, 20, 11, 0xFF0032FF}});
  Layout(runtime, out, "title", {{320, 120, 1, 72, 19, 0xFF0064FF}, {320, 244, 1, 32, 14, 0xFFFFFF00},
                                 {320, 304, 1, 32, 19, 0xFFFFFF00}, {320, 364, 1, 32, 8, 0xFFFFFF00}});
  std::vector<TextBox> ranking = {{320, 60, 1, 48, 7, 0xFFFF6432}, {320, 340, 1, 48, 25, 0xFFFFFF00},
                                  {220, 390, 1, 40, 3, 0xFFFFFF00}, {420, 390, 1, 40, 2, 0xFFFFFF00}};
  for (int i = 0; i < 10; ++i) {
    ranking.push_back({100, 140 + 20 * i, 2, 20, 4, 0xFFFFFFFF});
    ranking.push_back({140, 140 + 20 * i, 0, 20, 21, 0xFFFFFFFF});
    ranking.push_back({420, 140 + 20 * i, 0, 20, 19, 0xFFFFFFFF});
  }
  Layout(runtime, out, "ranking", ranking);
  std::vector<TextBox> select = {{320, 40, 1, 32, 13, 0xFF5096FF}, {180, 120, 1, 20, 5, 0xFF96FF64}, {280, 120, 1, 20, 5, 0xFF96FF64},
                                 {420, 120, 1, 20, 4, 0xFF96FF64}, {320, 400, 1, 20, 17, 0xFFFFFF00}};
  for (int i = 0; i < 10; ++i) {
    select.push_back({180, 160 + 20 * i, 1, 20, 8, 0xFFFFFFFF});
    select.push_back({280, 160 + 20 * i, 1, 20, 1, 0xFFFFFFFF});
    select.push_back({420, 160 + 20 * i, 1, 20, 19, 0xFFFFFFFF});
  }
  Layout(runtime, out, "select", select);
  std::string error;
  const DdsPicture floor = ReadDds(ReadBytes(runtime / "texture" / "floor.dds"), error);
  if (error.empty()) WritePng(out / "floor.png", static_cast<int>(floor.width), static_cast<int>(floor.height), floor.pixels);
  std::printf("wrote previews to %s\n", out.c_str());
  return 0;
}
