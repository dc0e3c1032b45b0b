# Input, sound and message boxes. Sound runs on SDL's silent dummy driver:
# CI has no audio device.
add_executable(platform_io_tests
  platform/io_input_test.cpp
  platform/io_sound_test.cpp
  platform/SoundFiles.cpp
)
target_link_libraries(platform_io_tests PRIVATE
  quadrel_io quadrel_core SDL2_mixer::SDL2_mixer PkgConfig::QUADREL_VORBISENC PkgConfig::QUADREL_VORBISFILE GTest::gtest_main)
gtest_discover_tests(platform_io_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "SDL_AUDIODRIVER=dummy")

# The X error guard and the message box on a private Xvfb display.
add_executable(platform_x_tests platform/x_error_test.cpp platform_render/XvfbDisplay.cpp)
target_include_directories(platform_x_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform_render)
target_link_libraries(platform_x_tests PRIVATE quadrel_io PkgConfig::QUADREL_X11
  GTest::gtest_main)
gtest_discover_tests(platform_x_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
