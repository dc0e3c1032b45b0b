# The scenes on the headless platform services.
add_executable(scene_tests
  core/test_main.cpp
  scenes/game_scene_test.cpp
  scenes/title_scene_test.cpp
)
target_link_libraries(scene_tests PRIVATE quadrel_scenes GTest::gtest)
target_compile_definitions(scene_tests PRIVATE QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}")
target_include_directories(scene_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
gtest_discover_tests(scene_tests DISCOVERY_TIMEOUT 60)
