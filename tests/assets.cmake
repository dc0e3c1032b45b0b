# The generated game assets: models through Assimp with the game's loader
# flags, pictures' DDS headers, sounds through the WAVE reader and libvorbisfile.
if(TARGET quadrel-assets)

  add_library(asset_files STATIC assets/AssetFiles.cpp)
  target_link_libraries(asset_files PUBLIC PkgConfig::QUADREL_VORBISFILE)
  target_compile_definitions(asset_files PUBLIC QUADREL_RUNTIME_DIR="${QUADREL_RUNTIME_DIR}")

  add_executable(asset_tests
    assets/test_models.cpp
    assets/test_pictures.cpp
    assets/test_sounds.cpp
  )
  target_link_libraries(asset_tests PRIVATE asset_files assimp::assimp GTest::gtest_main)
  add_dependencies(asset_tests quadrel-assets)
  gtest_discover_tests(asset_tests DISCOVERY_TIMEOUT 60)

  # Renders previews of the assets for a person to look at; not a test.
  add_executable(quadrel-asset-preview assets/preview.cpp)
  target_link_libraries(quadrel-asset-preview PRIVATE asset_files assimp::assimp)
  target_compile_options(quadrel-asset-preview PRIVATE -O2)
endif()
