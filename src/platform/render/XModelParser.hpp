// The game's own reader of text DirectX .x models: frames and their matrices,
// meshes with positions, faces, normals, texture coordinates and material
// lists, and materials with their texture names. Written for hostile files:
// each count is checked against what the rest of the file can hold before
// anything is allocated, each index against its array, nesting is bounded,
// numbers are read without the C locale and must be finite.
// No GL or SDL here: the same reader serves every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/render/MeshData.hpp"

namespace quadrel::render {

// Most face corners a model may have (the game's have a few thousand): keeps
// a 64 MiB file of tiny faces from taking gigabytes of vertices.
constexpr size_t kMaxXModelCorners = size_t(1) << 22;
// Most frames, meshes and materials in one model (the game's have three).
constexpr uint32_t kMaxXModelObjects = 4096;
// Most nested blocks ({ ... } inside { ... }).
constexpr int kMaxXModelDepth = 32;

// One subset per material, in material order, vertices with the frames'
// transforms applied; the file's own z, winding and texture coordinates.
// False with a reason ("line 12: Mesh declares 2000000000 vertices, ...").
bool ParseXModel(const uint8_t* data, size_t size, MeshData& out, std::string* error = nullptr);

// Text from a model as a reason may quote it: at most 40 bytes, anything but
// printable ASCII shown as '?', so that a report stays one readable line.
std::string Quoted(const std::string& text);

}  // namespace quadrel::render
