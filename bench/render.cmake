# Rendering benchmark: a worst-case game-like frame at 640 x 480.
if(TARGET quadrel_sample_assets)
  find_package(benchmark REQUIRED)
  add_executable(render_bench render_bench.cpp ${CMAKE_SOURCE_DIR}/tests/platform_render/XvfbDisplay.cpp)
  target_include_directories(render_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform_render)
  target_link_libraries(render_bench PRIVATE quadrel_sample_assets benchmark::benchmark)
endif()
