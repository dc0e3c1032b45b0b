# Where the game finds its files, and the installed game.
add_executable(paths_tests install/paths_test.cpp)
target_link_libraries(paths_tests PRIVATE quadrel_core GTest::gtest_main)
gtest_discover_tests(paths_tests DISCOVERY_TIMEOUT 60)

if(TARGET quadrel AND TARGET quadrel-screen-probe)
  add_test(NAME install_e2e
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:quadrel-screen-probe> ${QUADREL_GOLDEN_DIR}/00109920_20050512_090421.rep
            ${CMAKE_BINARY_DIR}/screenshots/install)
  set_tests_properties(install_e2e PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 300
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
endif()
