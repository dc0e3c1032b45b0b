# Entering the replay list with a thousand saved games (headless platform).
if(TARGET quadrel_scenes)
  add_executable(replay_list_bench replay_list_bench.cpp)
  target_link_libraries(replay_list_bench PRIVATE quadrel_scenes benchmark::benchmark)
endif()
