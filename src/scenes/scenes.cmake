# The scenes on the platform services: the game scene's tick and drawing, the
# title. Tests drive them on the headless services.
add_library(quadrel_scenes STATIC
  game/GameSceneTick.cpp
  scenes/ReplaySelectScene.cpp
  scenes/SceneSetup.cpp
  scenes/TitleScene.cpp
)
target_link_libraries(quadrel_scenes PUBLIC quadrel_core quadrel_render_headless)
