# Damaged and hostile files: the checked opener, models, pictures, replays,
# the replay tool, full stores and failing writes.
add_executable(hardening_core_tests
  hardening/files_test.cpp
  hardening/replay_store_test.cpp
  hardening/reports_test.cpp
)
target_link_libraries(hardening_core_tests PRIVATE quadrel_core GTest::gtest_main)
gtest_discover_tests(hardening_core_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)

if(NOT QUADREL_CORE_ONLY)
  add_executable(hardening_render_tests
    hardening/models_pictures_test.cpp
    hardening/single_instance_test.cpp
  )
  target_link_libraries(hardening_render_tests PRIVATE quadrel_app GTest::gtest_main)
  gtest_discover_tests(hardening_render_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)

  # The fatal report of a missing model under Xvfb: legible boxes, stderr, exit 1.
  add_test(NAME hardening_fatal_box
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hardening/fatal_box_e2e.sh $<TARGET_FILE:quadrel>
            ${QUADREL_RUNTIME_DIR} ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(hardening_fatal_box PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 120
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
endif()

add_test(NAME hardening_replay_tool
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hardening/replay_tool_test.sh $<TARGET_FILE:quadrel-replay>
          ${QUADREL_GOLDEN_DIR})
set_tests_properties(hardening_replay_tool PROPERTIES TIMEOUT 120)
