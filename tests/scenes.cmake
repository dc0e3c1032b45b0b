# The scenes on the headless platform services.
add_executable(scene_tests
  core/test_main.cpp
  scenes/game_mode_switch_test.cpp
  scenes/game_scene_test.cpp
  scenes/ranking_scene_test.cpp
  scenes/replay_select_test.cpp
  scenes/scene_tick_test.cpp
  scenes/title_scene_test.cpp
)
target_link_libraries(scene_tests PRIVATE quadrel_scenes GTest::gtest)
target_compile_definitions(scene_tests PRIVATE QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}")
target_include_directories(scene_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
gtest_discover_tests(scene_tests DISCOVERY_TIMEOUT 60)

# The real program driven like a player under Xvfb (screenshots read by the probe).
if(TARGET quadrel)
  add_executable(quadrel-screen-probe scenes/screen_probe.cpp)
  target_link_libraries(quadrel-screen-probe PRIVATE PkgConfig::QUADREL_STB)
  add_test(NAME game_e2e
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scenes/game_e2e.sh $<TARGET_FILE:quadrel> ${QUADREL_RUNTIME_DIR}
            $<TARGET_FILE:quadrel-screen-probe> ${CMAKE_BINARY_DIR}/screenshots/e2e)
  set_tests_properties(game_e2e PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 120
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
  # A whole game to the ranking, the saved replay chosen from the list and played back.
  add_test(NAME ranking_e2e
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scenes/ranking_e2e.sh $<TARGET_FILE:quadrel> ${QUADREL_RUNTIME_DIR}
            $<TARGET_FILE:quadrel-screen-probe> $<TARGET_FILE:quadrel-replay>
            ${CMAKE_BINARY_DIR}/screenshots/ranking_e2e)
  set_tests_properties(ranking_e2e PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 600
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
endif()

# Pictures of the scenes on the real assets, drawn through OpenGL under Xvfb.
if(TARGET quadrel_render AND TARGET quadrel-assets)
  add_executable(scene_screenshots
    core/test_main.cpp
    scenes/screenshot_test.cpp
    platform_render/XvfbDisplay.cpp
  )
  target_link_libraries(scene_screenshots PRIVATE quadrel_scenes quadrel_render GTest::gtest)
  target_include_directories(scene_screenshots PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/platform_render)
  target_compile_definitions(scene_screenshots PRIVATE
    QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}"
    QUADREL_RUNTIME_DIR="${QUADREL_RUNTIME_DIR}"
    QUADREL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
  add_dependencies(scene_screenshots quadrel-assets)
  gtest_discover_tests(scene_screenshots DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
endif()
