# Rendering benchmark: a worst-case game-like frame at 640 x 480.
if(TARGET quadrel_sample_assets)
  add_executable(render_bench render_bench.cpp ${CMAKE_SOURCE_DIR}/tests/platform_render/XvfbDisplay.cpp)
  target_include_directories(render_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform_render)
  target_link_libraries(render_bench PRIVATE quadrel_sample_assets benchmark::benchmark)
endif()

# The game scene's worst frame and the start of the title, on the real assets.
if(TARGET quadrel_scenes AND TARGET quadrel-assets)
  add_executable(game_frame_bench game_frame_bench.cpp ${CMAKE_SOURCE_DIR}/tests/platform_render/XvfbDisplay.cpp)
  target_include_directories(game_frame_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform_render)
  target_link_libraries(game_frame_bench PRIVATE quadrel_scenes quadrel_render benchmark::benchmark)
  target_compile_definitions(game_frame_bench PRIVATE QUADREL_RUNTIME_DIR="${QUADREL_RUNTIME_DIR}")
  add_dependencies(game_frame_bench quadrel-assets)
endif()
