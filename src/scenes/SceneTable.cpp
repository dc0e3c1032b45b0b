#include "scenes/SceneTable.hpp"

#include <algorithm>
#include <string>

#include "base/Diagnostics.hpp"

namespace quadrel {

SceneTable::SceneTable(std::initializer_list<Scene*> scenes) {
  for (Scene* scene : scenes) Register(scene);
}

bool SceneTable::Register(Scene* scene) {
  if (!scene) {
    ShowDebugMessage("No scene to register.");
    return false;
  }
  const int32_t id = static_cast<int32_t>(scene->Id());
  if (id < 0 || id >= kSceneCount) {
    ShowDebugMessage("A scene has the id " + std::to_string(id) + ", which is out of range.");
    return false;
  }
  if (scenes_[id]) {
    ShowDebugMessage("Two scenes have the id " + std::to_string(id) + ".");
    return false;
  }
  scenes_[id] = scene;
  return true;
}

Scene* SceneTable::Find(int32_t id) const {
  return id >= 0 && id < kSceneCount ? scenes_[id] : nullptr;
}

bool SceneTable::Complete() const {
  return std::none_of(scenes_.begin(), scenes_.end(), [](const Scene* s) { return s == nullptr; });
}

}  // namespace quadrel
