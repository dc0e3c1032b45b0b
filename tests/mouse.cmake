# The bar and the real mouse input under a private Xvfb moved with xdotool, and
# under a private Xorg whose piped-in mouse the pointer acceleration applies to.
add_executable(mouse_tests
  core/test_main.cpp
  mouse/bar_follows_mouse_test.cpp
  mouse/accelerated_mouse_test.cpp
  mouse/XorgMouseDisplay.cpp
  platform_render/XvfbDisplay.cpp
)
target_link_libraries(mouse_tests PRIVATE quadrel_app quadrel_io GTest::gtest PkgConfig::QUADREL_XI)
target_include_directories(mouse_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform_render)
gtest_discover_tests(mouse_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
