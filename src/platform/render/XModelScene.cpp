#include "platform/render/XModelScene.hpp"

#include <cmath>
#include <unordered_map>
#include <utility>

#include "platform/render/XModelParser.hpp"

namespace quadrel::render::xmodel {
namespace {

struct V3 {
  float x = 0, y = 0, z = 0;
  float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
};
struct V2 {
  float x = 0, y = 0;
};

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] =
          a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

// The inverse transpose of the upper 3 x 3, for normals; false when singular.
bool NormalMatrix(const Matrix& t, float n[3][3]) {
  const auto& m = t.m;
  const float a1 = m[0][0], a2 = m[0][1], a3 = m[0][2], b1 = m[1][0], b2 = m[1][1], b3 = m[1][2];
  const float c1 = m[2][0], c2 = m[2][1], c3 = m[2][2];
  const float det = a1 * b2 * c3 - a1 * b3 * c2 + a2 * b3 * c1 - a2 * b1 * c3 + a3 * b1 * c2 - a3 * b2 * c1;
  if (det == 0.0f) return false;
  const float d = 1.0f / det;
  const float inv[3][3] = {{d * (b2 * c3 - b3 * c2), -d * (a2 * c3 - a3 * c2), d * (a2 * b3 - a3 * b2)},
                           {-d * (b1 * c3 - b3 * c1), d * (a1 * c3 - a3 * c1), -d * (a1 * b3 - a3 * b1)},
                           {d * (b1 * c2 - b2 * c1), -d * (a1 * c2 - a2 * c1), d * (a1 * b2 - a2 * b1)}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) n[i][j] = inv[j][i];
  return true;
}

V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Unit(V3 v) {
  const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (l == 0.0f) return v;
  const float inv = 1.0f / l;
  return {v.x * inv, v.y * inv, v.z * inv};
}
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool PointInTriangle(V2 p0, V2 p1, V2 p2, V2 pp) {
  const V2 v0{p1.x - p0.x, p1.y - p0.y}, v1{p2.x - p0.x, p2.y - p0.y}, v2{pp.x - p0.x, pp.y - p0.y};
  double dot00 = v0.x * v0.x + v0.y * v0.y;
  const double dot01 = v0.x * v1.x + v0.y * v1.y, dot02 = v0.x * v2.x + v0.y * v2.y;
  double dot11 = v1.x * v1.x + v1.y * v1.y;
  const double dot12 = v1.x * v2.x + v1.y * v2.y;
  const double invDenom = 1 / (dot00 * dot11 - dot01 * dot01);
  dot11 = (dot11 * dot02 - dot01 * dot12) * invDenom;
  dot00 = (dot00 * dot12 - dot01 * dot02) * invDenom;
  return dot11 > 0 && dot00 > 0 && dot11 + dot00 < 1;
}

// Triangles of one polygon as corner numbers 0..n-1, cut the way the game's
// models always were: a quad from its concave corner (if any), larger
// polygons by clipping ears in the plane they lie in most.
// False when the cutting took more than its budget (a crafted polygon can ask
// for n^3 steps).
bool Triangulate(const std::vector<V3>& p, std::vector<uint32_t>& out, uint64_t& budget) {
  const int n = int(p.size());
  if (n < 3) return true;
  if (n == 3) {
    out.insert(out.end(), {0, 1, 2});
    return true;
  }
  if (n == 4) {
    int start = 0;
    for (int i = 0; i < 4; ++i) {
      const V3 left = Unit(Sub(p[(i + 3) % 4], p[i])), diag = Unit(Sub(p[(i + 2) % 4], p[i]));
      const V3 right = Unit(Sub(p[(i + 1) % 4], p[i]));
      if (std::acos(Dot(left, diag)) + std::acos(Dot(right, diag)) > 3.1415926538f) {
        start = i;
        break;
      }
    }
    const uint32_t s = uint32_t(start);
    out.insert(out.end(), {s, (s + 1) % 4, (s + 2) % 4, s, (s + 2) % 4, (s + 3) % 4});
    return true;
  }
  // Newell's normal; its largest axis is dropped for the projection.
  float nx = 0, ny = 0, nz = 0;
  for (int i = 0; i < n; ++i) {
    const V3 &a = p[size_t(i)], &b = p[size_t((i + 1) % n)], &c = p[size_t((i + 2) % n)];
    nz += b.x * (c.y - a.y);
    nx += b.y * (c.z - a.z);
    ny += b.z * (c.x - a.x);
  }
  const float ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
  int ac = 0, bc = 1;
  float inv = nz;
  if (ax > ay) {
    if (ax > az) ac = 1, bc = 2, inv = nx;
  } else if (ay > az) {
    ac = 2, bc = 0, inv = ny;
  }
  if (inv < 0.f) std::swap(ac, bc);
  std::vector<V2> q(static_cast<size_t>(n));
  std::vector<char> done(static_cast<size_t>(n), 0);
  for (int i = 0; i < n; ++i) q[size_t(i)] = {p[size_t(i)][ac], p[size_t(i)][bc]};
  int num = n, ear = 0, prev = n - 1, next = 0;
  while (num > 3) {
    int found = 0;
    for (ear = next;; prev = ear, ear = next) {
      for (next = ear + 1; done[size_t(next >= n ? next = 0 : next)]; ++next) {
      }
      if (next < ear && ++found == 2) break;
      if (budget < uint64_t(n)) return false;
      budget -= uint64_t(n);
      const V2 p0 = q[size_t(prev)], p1 = q[size_t(ear)], p2 = q[size_t(next)];
      if (0.5 * (p0.x * (p2.y - p1.y) + p1.x * (p0.y - p2.y) + p2.x * (p1.y - p0.y)) > 0) continue;
      int t = 0;
      for (; t < n; ++t) {
        const V2 v = q[size_t(t)];
        auto same = [&](V2 w) { return v.x == w.x && v.y == w.y; };
        if (!same(p1) && !same(p2) && !same(p0) && PointInTriangle(p0, p1, p2, v)) break;
      }
      if (t == n) break;
    }
    if (found == 2) return true;  // not a simple polygon: what was cut so far stays
    out.insert(out.end(), {uint32_t(prev), uint32_t(ear), uint32_t(next)});
    done[size_t(ear)] = 1;
    --num;
  }
  uint32_t last[3], k = 0;
  for (int i = 0; i < n && k < 3; ++i)
    if (!done[size_t(i)]) last[k++] = uint32_t(i);
  out.insert(out.end(), {last[0], last[1], last[2]});
  return true;
}

struct Placed {
  const Mesh* mesh;
  Matrix world;
};

void Walk(const Scene& scene, int frame, const Matrix& parent, std::vector<Placed>& out) {
  // Depth-first with a stack of its own: frames hold their meshes before their children's.
  std::vector<std::pair<int, Matrix>> stack{{frame, parent}};
  while (!stack.empty()) {
    const auto [f, above] = stack.back();
    stack.pop_back();
    const Frame& fr = scene.frames[size_t(f)];
    const Matrix world = Multiply(above, fr.local);
    for (const auto& m : fr.meshes) out.push_back({m.get(), world});
    for (auto c = fr.children.rbegin(); c != fr.children.rend(); ++c) stack.push_back({*c, world});
  }
}

}  // namespace

bool BuildMeshData(Scene& scene, MeshData& out, std::string* error) {
  out = MeshData{};
  std::vector<Placed> framed, global;
  for (int root : scene.roots) Walk(scene, root, Matrix{}, framed);
  for (const auto& m : scene.globalMeshes) global.push_back({m.get(), Multiply(Matrix{}, Matrix{})});

  // Materials: the file's own, then each mesh's in turn; {Name} finds one before it.
  std::vector<const Material*> materials;
  std::unordered_map<std::string, uint32_t> byName;  // the first of each name
  for (const Material& m : scene.globalMaterials) {
    if (!m.name.empty()) byName.emplace(m.name, uint32_t(materials.size()));
    materials.push_back(&m);
  }
  std::vector<std::vector<uint32_t>> slot;  // per mesh (framed, then global): material -> subset
  for (const auto* list : {&framed, &global})
    for (const Placed& p : *list) {
      slot.emplace_back();
      for (const Material& m : p.mesh->materials) {
        uint32_t index = uint32_t(materials.size());
        if (m.reference) {
          const auto found = byName.find(m.name);
          if (found == byName.end()) {
            if (error) *error = "material " + Quoted(m.name) + " is named but not defined";
            return false;
          }
          index = found->second;
        } else {
          if (!m.name.empty()) byName.emplace(m.name, index);
          materials.push_back(&m);
        }
        slot.back().push_back(index);
      }
    }
  static const Material kPlain = [] {
    Material m;
    for (float& c : m.diffuse) c = 0.5f;
    m.diffuse[3] = 1.0f;
    m.power = 1.0f;
    return m;
  }();
  if (materials.empty()) materials.push_back(&kPlain);

  // The pieces of each subset: meshes outside frames first, as the old loader drew them.
  struct Piece {
    const Placed* placed;
    const std::vector<uint32_t>* faces;  // those of the mesh with this material
  };
  std::vector<std::vector<Piece>> pieces(materials.size());
  std::vector<std::vector<std::vector<uint32_t>>> facesOf(framed.size() + global.size());
  size_t placedCount = 0;
  auto place = [&](const Placed& p, const std::vector<uint32_t>& s) {
    const Mesh& mesh = *p.mesh;
    auto& buckets = facesOf[placedCount++];
    buckets.resize(mesh.hasMaterialList ? s.size() : 1);
    for (uint32_t f = 0; f < mesh.faces.size(); ++f)
      buckets[mesh.hasMaterialList ? mesh.faceMaterials[f] : 0].push_back(f);
    if (!mesh.hasMaterialList) return pieces[0].push_back({&p, &buckets[0]});
    for (uint32_t b = 0; b < s.size(); ++b) pieces[s[b]].push_back({&p, &buckets[b]});
  };
  for (size_t i = 0; i < global.size(); ++i) place(global[i], slot[framed.size() + i]);
  for (size_t i = 0; i < framed.size(); ++i) place(framed[i], slot[i]);

  std::vector<V3> polygon;
  std::vector<uint32_t> triangles;
  uint64_t budget = uint64_t(1) << 27;  // steps of ear cutting: well under a second
  for (size_t mi = 0; mi < materials.size(); ++mi) {
    const Material& m = *materials[mi];
    MeshSubset subset;
    subset.material.diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
    subset.material.ambient = {0, 0, 0, 1};
    subset.material.specular = {m.specular[0], m.specular[1], m.specular[2], 1};
    subset.material.emissive = {m.emissive[0], m.emissive[1], m.emissive[2], 1};
    subset.material.power = m.power;
    subset.textureName = m.texture;
    subset.firstIndex = uint32_t(out.indices.size());
    for (const Piece& piece : pieces[mi]) {
      const Mesh& mesh = *piece.placed->mesh;
      const auto& t = piece.placed->world.m;
      float nm[3][3];
      const bool turnNormals = NormalMatrix(piece.placed->world, nm);
      uint32_t lastFirst = UINT32_MAX;
      for (const uint32_t f : *piece.faces) {
        const Face& face = mesh.faces[f];
        const uint32_t base = uint32_t(out.vertices.size());
        polygon.clear();
        for (uint32_t c = 0; c < face.count; ++c) {
          const uint32_t v = mesh.corners[face.first + c];
          const float* p = &mesh.positions[size_t(v) * 3];
          polygon.push_back({p[0], p[1], p[2]});
          MeshVertex mv{};
          for (int r = 0; r < 3; ++r)
            mv.position[r] = t[r][0] * p[0] + t[r][1] * p[1] + t[r][2] * p[2] + t[r][3];
          if (!mesh.normals.empty()) {
            const float* n = &mesh.normals[size_t(mesh.normalCorners[mesh.normalFaces[f].first + c]) * 3];
            for (int r = 0; r < 3; ++r)
              mv.normal[r] = turnNormals ? nm[r][0] * n[0] + nm[r][1] * n[1] + nm[r][2] * n[2] : n[r];
            out.hasNormals = true;
          }
          if (!mesh.uvs.empty()) {
            mv.uv[0] = mesh.uvs[size_t(v) * 2];
            // v flipped twice, as the meshes were always drawn (the same bits).
            mv.uv[1] = 1.0f - (1.0f - mesh.uvs[size_t(v) * 2 + 1]);
            out.hasTextureCoords = true;
          }
          for (float x :
               {mv.position[0], mv.position[1], mv.position[2], mv.normal[0], mv.normal[1], mv.normal[2]})
            if (!std::isfinite(x)) {
              if (error) *error = "a frame's matrix carries a vertex beyond the range of numbers";
              return false;
            }
          out.vertices.push_back(mv);
        }
        triangles.clear();
        if (!Triangulate(polygon, triangles, budget)) {
          if (error) *error = "its polygons take too long to cut into triangles";
          return false;
        }
        // A triangle that starts where the one before did starts one corner
        // later (the old loader's habit, kept for the same index order).
        for (size_t i = 0; i + 2 < triangles.size(); i += 3) {
          uint32_t tri[3] = {base + triangles[i], base + triangles[i + 1], base + triangles[i + 2]};
          if (face.count != 4 && tri[0] == lastFirst)
            tri[0] = std::exchange(tri[2], std::exchange(tri[1], tri[0]));
          if (face.count != 4 || i == 0) lastFirst = tri[0];
          out.indices.insert(out.indices.end(), tri, tri + 3);
        }
      }
    }
    subset.indexCount = uint32_t(out.indices.size()) - subset.firstIndex;
    out.subsets.push_back(std::move(subset));
  }
  return true;
}

}  // namespace quadrel::render::xmodel
