# Rendering services, the shell and the check tool.
#  platform_render_tests: no display needed (math, headless services, files, shell).
#  platform_gl_tests: draw through OpenGL on a private Xvfb display and read back.
add_executable(platform_render_tests
  platform_render/headless_test.cpp
  platform_render/shell_test.cpp
)
target_link_libraries(platform_render_tests PRIVATE quadrel_app quadrel_sample_assets GTest::gtest_main)
gtest_discover_tests(platform_render_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")

add_executable(platform_gl_tests
  platform_render/GlFixture.cpp
  platform_render/XvfbDisplay.cpp
  platform_render/gl_drawing_test.cpp
)
target_link_libraries(platform_gl_tests PRIVATE quadrel_sample_assets GTest::gtest_main)
gtest_discover_tests(platform_gl_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")

# The real program, driven with xdotool under Xvfb and openbox.
add_test(NAME quadrel_e2e
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/quadrel_e2e.sh $<TARGET_FILE:quadrel> ${QUADREL_RUNTIME_DIR})
set_tests_properties(quadrel_e2e PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 120
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")

# The check tool writes its picture (stand-in assets in a fresh runtime folder).
add_test(NAME platform_check_png
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/platform_check.sh $<TARGET_FILE:quadrel-platform-check>)
set_tests_properties(platform_check_png PROPERTIES TIMEOUT 120
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
