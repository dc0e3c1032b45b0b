#include "platform/render/D3DMath.hpp"

#include <cmath>
#include <utility>

namespace quadrel::render {

Matrix MatrixIdentity() {
  Matrix r{};
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
  return r;
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
  return r;
}

Matrix MatrixTranslation(float x, float y, float z) {
  Matrix r = MatrixIdentity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix MatrixScaling(float x, float y, float z) {
  Matrix r = MatrixIdentity();
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  return r;
}

Matrix MatrixRotationAxis(Vec3 axis, float angle) {
  const Vec3 v = Vec3Normalize(axis);
  const float s = std::sin(angle);
  const float c = std::cos(angle);
  const float t = 1.0f - c;
  Matrix r = MatrixIdentity();
  r.m[0][0] = t * v.x * v.x + c;
  r.m[1][0] = t * v.x * v.y - s * v.z;
  r.m[2][0] = t * v.x * v.z + s * v.y;
  r.m[0][1] = t * v.y * v.x + s * v.z;
  r.m[1][1] = t * v.y * v.y + c;
  r.m[2][1] = t * v.y * v.z - s * v.x;
  r.m[0][2] = t * v.z * v.x - s * v.y;
  r.m[1][2] = t * v.z * v.y + s * v.x;
  r.m[2][2] = t * v.z * v.z + c;
  return r;
}

Matrix MatrixLookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
  const Vec3 z = Vec3Normalize(Vec3Subtract(at, eye));
  const Vec3 x = Vec3Normalize(Vec3Cross(up, z));
  const Vec3 y = Vec3Cross(z, x);
  Matrix r = MatrixIdentity();
  r.m[0][0] = x.x;
  r.m[1][0] = x.y;
  r.m[2][0] = x.z;
  r.m[0][1] = y.x;
  r.m[1][1] = y.y;
  r.m[2][1] = y.z;
  r.m[0][2] = z.x;
  r.m[1][2] = z.y;
  r.m[2][2] = z.z;
  r.m[3][0] = -Vec3Dot(x, eye);
  r.m[3][1] = -Vec3Dot(y, eye);
  r.m[3][2] = -Vec3Dot(z, eye);
  return r;
}

Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
  const float yScale = 1.0f / std::tan(fovY / 2.0f);
  const float xScale = yScale / aspect;
  Matrix r{};
  r.m[0][0] = xScale;
  r.m[1][1] = yScale;
  r.m[2][2] = zFar / (zFar - zNear);
  r.m[2][3] = 1.0f;
  r.m[3][2] = -zNear * zFar / (zFar - zNear);
  return r;
}

Matrix MatrixShadow(Vec4 light, Plane plane) {
  // (P . L) I - P L^T with the plane normalised: w stays positive in front of
  // the plane, so the flattened geometry is not clipped away.
  const Plane p = PlaneNormalize(plane);
  const float dot = p.a * light.x + p.b * light.y + p.c * light.z + p.d * light.w;
  const float pv[4] = {p.a, p.b, p.c, p.d};
  const float lv[4] = {light.x, light.y, light.z, light.w};
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = (i == j ? dot : 0.0f) - pv[i] * lv[j];
  return r;
}

Matrix MatrixTranspose(const Matrix& m) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
  return r;
}

Matrix MatrixInverse(const Matrix& src) {
  // Gauss-Jordan elimination with partial pivoting, in double precision.
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = src.m[i][j];
      a[i][j + 4] = i == j ? 1.0 : 0.0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-12) return MatrixIdentity();
    if (pivot != col)
      for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
    const double inv = 1.0 / a[col][col];
    for (int j = 0; j < 8; ++j) a[col][j] *= inv;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = a[r][col];
      if (f == 0.0) continue;
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
    }
  }
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = static_cast<float>(a[i][j + 4]);
  return r;
}

Plane PlaneFromPointNormal(Vec3 point, Vec3 normal) {
  return Plane{normal.x, normal.y, normal.z, -Vec3Dot(point, normal)};
}

Plane PlaneNormalize(Plane p) {
  const float len = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
  if (len == 0.0f) return Plane{0, 0, 0, 0};
  return Plane{p.a / len, p.b / len, p.c / len, p.d / len};
}

Vec3 Vec3Normalize(Vec3 v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len == 0.0f) return Vec3{0, 0, 0};
  return Vec3{v.x / len, v.y / len, v.z / len};
}

Vec3 Vec3Cross(Vec3 a, Vec3 b) {
  return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vec3Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Vec3Subtract(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Vec3Add(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Vec3Scale(Vec3 v, float s) { return Vec3{v.x * s, v.y * s, v.z * s}; }

Vec4 Vec3Transform(Vec3 p, const Matrix& m) {
  return Vec4{p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
              p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
              p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2],
              p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3]};
}

Vec3 Vec3TransformCoord(Vec3 p, const Matrix& m) {
  const Vec4 r = Vec3Transform(p, m);
  if (r.w == 0.0f) return Vec3{r.x, r.y, r.z};
  return Vec3{r.x / r.w, r.y / r.w, r.z / r.w};
}

Vec3 Vec3TransformNormal(Vec3 v, const Matrix& m) {
  return Vec3{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

}  // namespace quadrel::render
