# The scenes on the platform services: the scene tick and the frame they share,
# the title, the game scene's tick and drawing, the ranking, the replay list.
# Tests drive them on the headless services.
add_library(quadrel_scenes STATIC
  scenes/FramedScene.cpp
  scenes/GamePause.cpp
  scenes/GameSceneTick.cpp
  scenes/RankingScene.cpp
  scenes/ReplaySelectScene.cpp
  scenes/Scene.cpp
  scenes/SceneSetup.cpp
  scenes/TitleScene.cpp
)
target_link_libraries(quadrel_scenes PUBLIC quadrel_core quadrel_render_headless)
