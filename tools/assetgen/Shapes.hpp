// Shape builders shared by the models: rounded boxes and surfaces of revolution.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "XMesh.hpp"

namespace quadrel::assetgen {

// A box centred on `centre` with half sizes `half`, whose edges and corners are
// rounded with the radii `round` (per axis, each at most the half size) in
// `steps` segments; the flat parts are cut only at `flatCuts` (per axis,
// ascending coordinates from the centre), so colour borders fall on edges.
// Smooth normals, so the rounding catches the light.
// `materialAt` picks a material from a triangle's centre.
void AddRoundedBox(XMesh& mesh, Vec3 centre, Vec3 half, Vec3 round, int steps,
                   const std::array<std::vector<double>, 3>& flatCuts,
                   const std::function<int(Vec3)>& materialAt);

// The cheapest bevelled box: six flat faces cut back by `cut` per axis, a
// sloped strip along each edge and a triangle at each corner (44 triangles).
// The faces' normals are shared with the strips, so the light runs round the
// edges as on a rounded box. One material.
void AddChamferedBox(XMesh& mesh, Vec3 half, Vec3 cut, int material);

// One point of a profile turned about the x axis: x, radius and the outward
// normal in the (x, radius) plane. A `crease` point starts a new run, so the
// normal jumps there.
struct ProfilePoint {
  double x, r, nx, nr;
  bool crease = false;
};

// Turns the profile about the x axis in `sectors` slices. `materialAt` gets
// the middle x of a profile segment and the sector index.
void AddLathe(XMesh& mesh, const std::vector<ProfilePoint>& profile, int sectors,
              const std::function<int(double x, int sector)>& materialAt);

// Profile of a circular arc about (cx, 0) of radius r from angle a0 to a1
// (radians, 0 = +x, pi/2 = top), in `steps` segments.
std::vector<ProfilePoint> ArcProfile(double cx, double r, double a0, double a1, int steps);

}  // namespace quadrel::assetgen
