// The program's scenes by id: each scene registers under the id it names,
// once; the loop finds the current scene here.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "scenes/Scene.hpp"

namespace quadrel {

class SceneTable {
 public:
  SceneTable() = default;
  // Registers each scene in turn.
  SceneTable(std::initializer_list<Scene*> scenes);

  // False, with a message, for no scene, an id out of range or an id taken.
  bool Register(Scene* scene);
  // The scene registered under id; nullptr for an id that has none.
  Scene* Find(int32_t id) const;
  // Every id has its scene.
  bool Complete() const;

 private:
  std::array<Scene*, kSceneCount> scenes_{};
};

}  // namespace quadrel
