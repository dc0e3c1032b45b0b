#include "Models.hpp"

#include <cmath>
#include <numbers>

#include "Shapes.hpp"

namespace quadrel::assetgen {

namespace {

constexpr double kPi = std::numbers::pi;

// The game lights everything with one white directional light (diffuse 1,
// ambient 0.2, specular 0.8) and uses each material's diffuse colour as its
// ambient one too: faces turned from the light keep a fifth of their colour,
// so a little emission keeps them from going muddy.
Material Plastic(Colour c, double gloss = 0.55, double power = 18.0, double glow = 0.10) {
  Material m;
  m.diffuse = c;
  m.power = power;
  m.specular = {gloss, gloss, gloss};
  m.emissive = {c.r * glow, c.g * glow, c.b * glow};
  return m;
}

// Bar and option item share these, so a falling option reads as another bar.
const Material kBarBody = Plastic({0.46, 0.58, 0.78}, 0.9, 28.0, 0.12);
const Material kBarAccent = Plastic({1.00, 0.42, 0.10}, 0.6, 20.0, 0.45);
// Ball and extend item share the pearl white, so an extend reads as a ball.
const Material kPearl = Plastic({0.92, 0.94, 1.00}, 1.0, 40.0, 0.16);

XMesh Ball() {
  XMesh mesh;
  const int pearl = mesh.AddMaterial(kPearl);
  AddLathe(mesh, ArcProfile(0.0, 1.0, kPi, 0.0, 8), 12, [&](double, int) { return pearl; });
  return mesh;
}

// 4 wide, 2 high, 2 deep, centred, with bevelled edges whose highlights show
// the block's shape under the light from the upper left front. Ninety of them
// are drawn twice a frame (with their shadows), so they stay at 44 triangles.
XMesh Block(Colour colour, double gloss, double power) {
  XMesh mesh;
  const int body = mesh.AddMaterial(Plastic(colour, gloss, power));
  AddChamferedBox(mesh, {2.0, 1.0, 1.0}, {0.32, 0.32, 0.32}, body);
  return mesh;
}

// 7 wide from y 0 to 1 and 2 deep; the ends are half circles. Glowing end caps
// and a centre mark help to aim.
XMesh Bar() {
  XMesh mesh;
  const int body = mesh.AddMaterial(kBarBody);
  const int accent = mesh.AddMaterial(kBarAccent);
  AddRoundedBox(mesh, {0, 0.5, 0}, {3.5, 0.5, 1.0}, {0.5, 0.5, 0.5}, 2,
                {{{-2.6, -0.2, 0.2, 2.6}, {}, {}}}, [&](Vec3 p) {
    const double ax = std::fabs(p.x);
    return ax > 2.6 || ax < 0.2 ? accent : body;
  });
  return mesh;
}

// A square of side 2 on y = 0, textured with the floor picture; the game
// scales it by 30 and draws it unlit. v runs from the far edge (0) to the near one (1).
XMesh Ground() {
  XMesh mesh;
  Material m;
  m.diffuse = {1, 1, 1};
  m.power = 1.0;
  m.texture = kFloorTexture;
  const int floor = mesh.AddMaterial(m);
  const Vec3 up{0, 1, 0};
  const uint32_t a = mesh.AddVertex({{-1, 0, -1}, up, 0, 1});
  const uint32_t b = mesh.AddVertex({{-1, 0, 1}, up, 0, 0});
  const uint32_t c = mesh.AddVertex({{1, 0, 1}, up, 1, 0});
  const uint32_t d = mesh.AddVertex({{1, 0, -1}, up, 1, 1});
  mesh.AddQuad(a, b, c, d, floor);
  return mesh;
}

// A pillar drawn at (+-24.5, 28, 0): 3 wide, 56 high, 4 deep, so its inner
// face stands at |x| = 23 and it reaches from the floor to above the ceiling.
// A glowing strip runs up the middle of its front and back.
XMesh Wall() {
  XMesh mesh;
  const int body = mesh.AddMaterial(Plastic({0.34, 0.38, 0.50}, 0.5, 14.0, 0.08));
  const int strip = mesh.AddMaterial(Plastic({0.30, 0.85, 1.00}, 0.4, 10.0, 0.70));
  AddRoundedBox(mesh, {0, 0, 0}, {1.5, 28.0, 2.0}, {0.3, 0.3, 0.3}, 2, {{{-0.3, 0.3}, {}, {}}},
                [&](Vec3 p) {
    return std::fabs(p.z) > 1.9 && std::fabs(p.x) < 0.3 ? strip : body;
  });
  return mesh;
}

// Items spin about the x axis, so their caps carry stripes that show the turn.
int Striped(int sector, int plain, int stripe) { return (sector / 2) % 2 == 0 ? plain : stripe; }

// A capsule 4 wide and 2 high in the bar's colours: "another bar".
XMesh OptionItem() {
  XMesh mesh;
  const int body = mesh.AddMaterial(kBarBody);
  const int accent = mesh.AddMaterial(kBarAccent);
  const int band = mesh.AddMaterial(Plastic({0.80, 0.90, 1.00}, 0.9, 30.0, 0.25));
  std::vector<ProfilePoint> profile = ArcProfile(-1.0, 1.0, kPi, kPi / 2, 3);
  for (double x : {-0.7, 0.7}) profile.push_back({x, 1.0, 0.0, 1.0});
  const auto right = ArcProfile(1.0, 1.0, kPi / 2, 0.0, 3);
  profile.insert(profile.end(), right.begin(), right.end());
  AddLathe(mesh, profile, 12, [&](double x, int sector) {
    if (std::fabs(x) > 1.0) return Striped(sector, accent, body);
    if (std::fabs(x) > 0.7) return band;
    return body;
  });
  return mesh;
}

// A pearl ball between two green caps, 4 wide and 2 high: "another ball".
XMesh ExtendItem() {
  XMesh mesh;
  const int pearl = mesh.AddMaterial(kPearl);
  const int green = mesh.AddMaterial(Plastic({0.20, 0.95, 0.35}, 0.7, 24.0, 0.35));
  const int dark = mesh.AddMaterial(Plastic({0.05, 0.45, 0.15}, 0.7, 24.0, 0.20));
  // Caps of radius 0.7 at +-1.3 meet the ball of radius 1 where x = +-11/13.
  const double meet = 11.0 / 13.0;
  const double capAngle = std::acos((1.3 - meet) / 0.7);
  const double ballAngle = std::acos(meet);
  std::vector<ProfilePoint> profile = ArcProfile(-1.3, 0.7, kPi, capAngle, 3);
  auto centre = ArcProfile(0.0, 1.0, kPi - ballAngle, ballAngle, 6);
  centre.front().crease = true;
  profile.insert(profile.end(), centre.begin(), centre.end());
  auto right = ArcProfile(1.3, 0.7, kPi - capAngle, 0.0, 3);
  right.front().crease = true;
  profile.insert(profile.end(), right.begin(), right.end());
  AddLathe(mesh, profile, 12, [&](double x, int sector) {
    return std::fabs(x) < meet ? pearl : Striped(sector, green, dark);
  });
  return mesh;
}

}  // namespace

std::vector<NamedModel> BuildModels() {
  std::vector<NamedModel> models;
  models.push_back({"ball.x", Ball()});
  models.push_back({"block_b.x", Block({0.12, 0.36, 1.00}, 0.55, 18.0)});
  models.push_back({"block_g.x", Block({0.16, 0.86, 0.22}, 0.55, 18.0)});
  models.push_back({"block_p.x", Block({0.66, 0.24, 0.96}, 0.55, 18.0)});
  models.push_back({"block_r.x", Block({1.00, 0.16, 0.14}, 0.55, 18.0)});
  models.push_back({"block_s.x", Block({0.72, 0.75, 0.80}, 1.00, 36.0)});
  models.push_back({"bar.x", Bar()});
  models.push_back({"ground.x", Ground()});
  models.push_back({"wall.x", Wall()});
  models.push_back({"option.x", OptionItem()});
  models.push_back({"extend.x", ExtendItem()});
  return models;
}

}  // namespace quadrel::assetgen
