# The application shell: the loop, single instance and the window system; and
# the program itself.
add_library(quadrel_app STATIC
  app/SdlWindowSystem.cpp
  app/Shell.cpp
  app/SingleInstance.cpp
)
target_link_libraries(quadrel_app PUBLIC quadrel_render quadrel_scenes)

add_executable(quadrel app/main.cpp)
target_link_libraries(quadrel PRIVATE quadrel_app quadrel_io quadrel_net)
# The program runs from the runtime folder (model/, texture/, sound/ beside it).
set_target_properties(quadrel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Installed, the data folder is found from bin/ the same way: share/quadrel.
file(RELATIVE_PATH quadrel_data_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/quadrel)
set_source_files_properties(app/main.cpp PROPERTIES
  COMPILE_DEFINITIONS "QUADREL_DATA_FROM_BIN=\"${quadrel_data_from_bin}\"")
