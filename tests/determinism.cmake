# Same replay, same bits, on every machine: the written-out turn constants and
# the core's independence from the maths library.
add_executable(determinism_tests
  determinism/turn_constants_test.cpp
  determinism/portable_trig_test.cpp
)
target_link_libraries(determinism_tests PRIVATE quadrel_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(determinism_tests DISCOVERY_TIMEOUT 60)

add_test(NAME core_calls_no_maths_library
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/determinism/core_maths_check.sh $<TARGET_FILE:quadrel_game>
          $<TARGET_FILE:quadrel_replay> $<TARGET_FILE:quadrel_verify> $<TARGET_FILE:quadrel_base>)

# The replay check page's entry point, built natively.
add_executable(web_verify_tests web/verify_api_test.cpp ${PROJECT_SOURCE_DIR}/web/VerifyApi.cpp)
target_include_directories(web_verify_tests PRIVATE ${PROJECT_SOURCE_DIR}/web)
target_link_libraries(web_verify_tests PRIVATE quadrel_core GTest::gtest GTest::gtest_main)
target_compile_definitions(web_verify_tests PRIVATE QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}")
gtest_discover_tests(web_verify_tests DISCOVERY_TIMEOUT 60)
