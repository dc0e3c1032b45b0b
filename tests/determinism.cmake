# Same replay, same bits, on every machine: the written-out turn constants and
# the core's independence from the maths library.
add_executable(determinism_tests
  determinism/turn_constants_test.cpp
  determinism/portable_trig_test.cpp
)
target_link_libraries(determinism_tests PRIVATE quadrel_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(determinism_tests DISCOVERY_TIMEOUT 60)

add_test(NAME core_calls_no_maths_library
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/determinism/core_maths_check.sh $<TARGET_FILE:quadrel_core>)
