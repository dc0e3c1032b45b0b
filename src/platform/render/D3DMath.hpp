// Matrix, vector and plane functions with the row-vector, left-handed
// conventions and published formulas of the D3DX helper library.
#pragma once

#include "platform/render/RenderTypes.hpp"

namespace quadrel::render {

Matrix MatrixIdentity();
// a * b: first a, then b.
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
// Normalises the axis itself; angle in radians.
Matrix MatrixRotationAxis(Vec3 axis, float angle);
Matrix MatrixLookAtLH(Vec3 eye, Vec3 at, Vec3 up);
Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
// Flattens geometry onto plane along the light (w = 0: directional).
Matrix MatrixShadow(Vec4 light, Plane plane);
// Inverse of a general 4 x 4 matrix; identity when it is singular.
Matrix MatrixInverse(const Matrix& m);
Matrix MatrixTranspose(const Matrix& m);

Plane PlaneFromPointNormal(Vec3 point, Vec3 normal);
Plane PlaneNormalize(Plane p);

Vec3 Vec3Normalize(Vec3 v);
Vec3 Vec3Cross(Vec3 a, Vec3 b);
float Vec3Dot(Vec3 a, Vec3 b);
Vec3 Vec3Subtract(Vec3 a, Vec3 b);
Vec3 Vec3Add(Vec3 a, Vec3 b);
Vec3 Vec3Scale(Vec3 v, float s);
// p * M with w = 1, divided by the resulting w.
Vec3 Vec3TransformCoord(Vec3 p, const Matrix& m);
// p * M with w = 1, the full four components.
Vec4 Vec3Transform(Vec3 p, const Matrix& m);
// Direction * the upper 3 x 3 of M.
Vec3 Vec3TransformNormal(Vec3 v, const Matrix& m);

}  // namespace quadrel::render
