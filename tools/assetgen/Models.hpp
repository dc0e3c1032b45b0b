// The eleven models of the game scene.
#pragma once

#include <string>
#include <vector>

#include "XMesh.hpp"

namespace quadrel::assetgen {

struct NamedModel {
  std::string fileName;  // inside model/
  XMesh mesh;
};

// Every model, in the order the game loads them.
std::vector<NamedModel> BuildModels();

// The floor picture the ground model names, relative to the game's folder.
inline constexpr const char* kFloorTexture = "./texture/floor.dds";

}  // namespace quadrel::assetgen
