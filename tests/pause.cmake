# Pause and the player's sound controls: the game scene held on the headless
# services, the loop sleeping while paused, the settings file, and the sound
# layer's player level.
if(TARGET quadrel_app AND TARGET quadrel_io)
  add_executable(pause_tests
    core/test_main.cpp
    scenes/pause_test.cpp
    scenes/player_settings_test.cpp
  )
  target_link_libraries(pause_tests PRIVATE quadrel_app quadrel_io GTest::gtest)
  target_compile_definitions(pause_tests PRIVATE QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}")
  target_include_directories(pause_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  gtest_discover_tests(pause_tests DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "SDL_AUDIODRIVER=dummy")
endif()
