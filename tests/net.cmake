# The HTTP client and the ranking registration against loopback servers.
add_executable(net_tests
  core/test_main.cpp
  net/LoopbackServer.cpp
  net/http_test.cpp
  net/registration_test.cpp
)
target_link_libraries(net_tests PRIVATE quadrel_net GTest::gtest)
target_include_directories(net_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/net)
gtest_discover_tests(net_tests DISCOVERY_TIMEOUT 60)

# The ranking scene's registration answer through the real client.
if(TARGET quadrel_scenes)
  add_executable(net_scene_tests
    core/test_main.cpp
    net/LoopbackServer.cpp
    net/ranking_online_test.cpp
  )
  target_link_libraries(net_scene_tests PRIVATE quadrel_net quadrel_scenes GTest::gtest)
  target_include_directories(net_scene_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/net ${CMAKE_CURRENT_SOURCE_DIR}/scenes)
  gtest_discover_tests(net_scene_tests DISCOVERY_TIMEOUT 60)
endif()

# The real program registering with a stand-in server under Xvfb.
if(TARGET quadrel)
  add_executable(quadrel-ranking-capture net/ranking_capture.cpp)
  add_test(NAME registration_e2e
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/net/registration_e2e.sh $<TARGET_FILE:quadrel>
            ${QUADREL_RUNTIME_DIR} $<TARGET_FILE:quadrel-ranking-capture>
            ${CMAKE_BINARY_DIR}/screenshots/registration)
  set_tests_properties(registration_e2e PROPERTIES RESOURCE_LOCK quadrel_e2e TIMEOUT 600 SKIP_RETURN_CODE 77
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/platform_render/lsan.supp")
endif()
