# The ranking server's tests: verdicts on SQLite (and PostgreSQL through its
# own script), bad input, limits, the page in a browser, a kill -9 run.

add_library(server_test_support STATIC
  server/GameClient.cpp
  server/ServerFixture.cpp
)
target_include_directories(server_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/server)
target_link_libraries(server_test_support PUBLIC quadrel_server GTest::gtest)
target_compile_definitions(server_test_support PRIVATE QUADREL_GOLDEN_DIR="${QUADREL_GOLDEN_DIR}")

add_executable(server_tests
  server/verdict_test.cpp
  server/limits_test.cpp
  server/form_fuzz_test.cpp
)
target_link_libraries(server_tests PRIVATE server_test_support GTest::gtest_main)
# The PostgreSQL half runs through server_postgres.sh, which starts a cluster.
gtest_discover_tests(server_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-*/postgres"
  PROPERTIES ENVIRONMENT "QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR}")

# Sends the game's registrations from the command line: the scripts below and
# the load measurement use it.
add_executable(quadrel-register-client server/register_client.cpp)
target_link_libraries(quadrel-register-client PRIVATE server_test_support SQLite::SQLite3)

add_test(NAME server_postgres
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/server_postgres.sh $<TARGET_FILE:server_tests>)
set_tests_properties(server_postgres PROPERTIES
  ENVIRONMENT "QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR}" TIMEOUT 240)
add_test(NAME server_kill9
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/server_kill9.sh
    $<TARGET_FILE:quadrel-ranking-server> $<TARGET_FILE:quadrel-register-client>)
set_tests_properties(server_kill9 PROPERTIES
  ENVIRONMENT "QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR}" TIMEOUT 120)
add_test(NAME server_chromium
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/server_chromium.sh
    $<TARGET_FILE:quadrel-ranking-server> $<TARGET_FILE:quadrel-register-client>
    ${CMAKE_CURRENT_BINARY_DIR}/server-page.png)
set_tests_properties(server_chromium PROPERTIES
  ENVIRONMENT "QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR}" TIMEOUT 120)
