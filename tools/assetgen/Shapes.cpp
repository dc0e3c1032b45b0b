#include "Shapes.hpp"

#include <cmath>
#include <numbers>

namespace quadrel::assetgen {

namespace {

struct AxisSample {
  double inner;   // coordinate on the unrounded core
  double excess;  // direction into the rounding, 0 on the flat part
};

// Samples across one face along one axis: the rounding on the negative side,
// the flat part (cut at `cuts`, coordinates inside the core), the rounding on
// the positive side. Spaced so that the rounding's segments are equal in angle.
std::vector<AxisSample> FaceSamples(double half, double round, int steps,
                                    const std::vector<double>& cuts) {
  const double core = half - round;
  std::vector<AxisSample> samples;
  for (int i = steps; i >= 1; --i)
    samples.push_back({-core, -std::tan(i * std::numbers::pi / 4 / steps)});
  if (core < 1e-9) {
    samples.push_back({0.0, 0.0});
  } else {
    samples.push_back({-core, 0.0});
    for (double c : cuts)
      if (c > -core + 1e-9 && c < core - 1e-9) samples.push_back({c, 0.0});
    samples.push_back({core, 0.0});
  }
  for (int i = 1; i <= steps; ++i) samples.push_back({core, std::tan(i * std::numbers::pi / 4 / steps)});
  return samples;
}

double Get(Vec3 v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
void Set(Vec3& v, int axis, double value) { (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value; }

}  // namespace

void AddRoundedBox(XMesh& mesh, Vec3 centre, Vec3 half, Vec3 round, int steps,
                   const std::array<std::vector<double>, 3>& flatCuts,
                   const std::function<int(Vec3)>& materialAt) {
  for (int axis = 0; axis < 3; ++axis) {
    const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    const auto s1 = FaceSamples(Get(half, a1), Get(round, a1), steps, flatCuts[a1]);
    const auto s2 = FaceSamples(Get(half, a2), Get(round, a2), steps, flatCuts[a2]);
    for (double sign : {-1.0, 1.0}) {
      std::vector<uint32_t> grid;
      for (const AxisSample& p : s1) {
        for (const AxisSample& q : s2) {
          Vec3 inner, excess;
          Set(inner, axis, sign * (Get(half, axis) - Get(round, axis)));
          Set(excess, axis, sign);
          Set(inner, a1, p.inner);
          Set(excess, a1, p.excess);
          Set(inner, a2, q.inner);
          Set(excess, a2, q.excess);
          const Vec3 u = Normalize(excess);
          const Vec3 offset{round.x * u.x, round.y * u.y, round.z * u.z};
          Vertex v;
          v.position = centre + inner + offset;
          v.normal = Normalize({u.x / round.x, u.y / round.y, u.z / round.z});
          v.u = 0.5 + 0.5 * Get(inner + offset, a1) / Get(half, a1);
          v.v = 0.5 - 0.5 * Get(inner + offset, a2) / Get(half, a2);
          grid.push_back(mesh.AddVertex(v));
        }
      }
      const size_t n2 = s2.size();
      for (size_t i = 0; i + 1 < s1.size(); ++i) {
        for (size_t j = 0; j + 1 < n2; ++j) {
          const uint32_t a = grid[i * n2 + j], b = grid[(i + 1) * n2 + j];
          const uint32_t c = grid[(i + 1) * n2 + j + 1], d = grid[i * n2 + j + 1];
          const Vec3 mid = (mesh.Vertices()[a].position + mesh.Vertices()[c].position) * 0.5;
          mesh.AddQuad(a, b, c, d, materialAt(mid - centre));
        }
      }
    }
  }
}

void AddChamferedBox(XMesh& mesh, Vec3 half, Vec3 cut, int material) {
  // corner[axis][side][s1][s2]: the face (axis, side)'s corner on the sides
  // s1, s2 of the next two axes (0 = negative, 1 = positive).
  uint32_t corner[3][2][2][2];
  for (int axis = 0; axis < 3; ++axis) {
    const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    for (int side = 0; side < 2; ++side) {
      for (int s1 = 0; s1 < 2; ++s1) {
        for (int s2 = 0; s2 < 2; ++s2) {
          Vertex v;
          Set(v.position, axis, side ? Get(half, axis) : -Get(half, axis));
          const double c1 = Get(half, a1) - Get(cut, a1), c2 = Get(half, a2) - Get(cut, a2);
          Set(v.position, a1, s1 ? c1 : -c1);
          Set(v.position, a2, s2 ? c2 : -c2);
          Set(v.normal, axis, side ? 1.0 : -1.0);
          v.u = 0.5 + 0.5 * Get(v.position, a1) / Get(half, a1);
          v.v = 0.5 - 0.5 * Get(v.position, a2) / Get(half, a2);
          corner[axis][side][s1][s2] = mesh.AddVertex(v);
        }
      }
      const auto& f = corner[axis][side];
      mesh.AddQuad(f[0][0], f[1][0], f[1][1], f[0][1], material);
    }
  }
  // The corner of face (axis, side) that lies towards `sides` (x, y, z).
  auto at = [&](int axis, const int sides[3]) {
    return corner[axis][sides[axis]][sides[(axis + 1) % 3]][sides[(axis + 2) % 3]];
  };
  for (int axis = 0; axis < 3; ++axis) {
    const int b = (axis + 1) % 3, c = (axis + 2) % 3;  // the edge runs along c
    for (int sa = 0; sa < 2; ++sa) {
      for (int sb = 0; sb < 2; ++sb) {
        int lo[3], hi[3];
        lo[axis] = hi[axis] = sa;
        lo[b] = hi[b] = sb;
        lo[c] = 0;
        hi[c] = 1;
        mesh.AddQuad(at(axis, lo), at(axis, hi), at(b, hi), at(b, lo), material);
      }
    }
  }
  for (int k = 0; k < 8; ++k) {
    const int sides[3] = {k & 1, (k >> 1) & 1, (k >> 2) & 1};
    mesh.AddTriangle(at(0, sides), at(1, sides), at(2, sides), material);
  }
}

std::vector<ProfilePoint> ArcProfile(double cx, double r, double a0, double a1, int steps) {
  std::vector<ProfilePoint> points;
  for (int i = 0; i <= steps; ++i) {
    const double a = a0 + (a1 - a0) * i / steps;
    points.push_back({cx + r * std::cos(a), r * std::sin(a), std::cos(a), std::sin(a)});
  }
  return points;
}

void AddLathe(XMesh& mesh, const std::vector<ProfilePoint>& profile, int sectors,
              const std::function<int(double x, int sector)>& materialAt) {
  const double length = profile.back().x - profile.front().x;
  std::vector<uint32_t> ring;
  for (size_t i = 0; i < profile.size(); ++i) {
    const ProfilePoint& p = profile[i];
    for (int s = 0; s <= sectors; ++s) {
      const double angle = 2 * std::numbers::pi * s / sectors;
      Vertex v;
      v.position = {p.x, p.r * std::cos(angle), p.r * std::sin(angle)};
      v.normal = Normalize({p.nx, p.nr * std::cos(angle), p.nr * std::sin(angle)});
      v.u = (p.x - profile.front().x) / length;
      v.v = static_cast<double>(s) / sectors;
      ring.push_back(mesh.AddVertex(v));
    }
  }
  const size_t row = sectors + 1;
  for (size_t i = 0; i + 1 < profile.size(); ++i) {
    if (profile[i + 1].crease) continue;  // same place, new normal: no surface between
    const double midX = 0.5 * (profile[i].x + profile[i + 1].x);
    for (int s = 0; s < sectors; ++s) {
      mesh.AddQuad(ring[i * row + s], ring[(i + 1) * row + s], ring[(i + 1) * row + s + 1],
                   ring[i * row + s + 1], materialAt(midX, s));
    }
  }
}

}  // namespace quadrel::assetgen
