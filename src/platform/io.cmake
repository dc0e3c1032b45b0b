# Input, sound and message boxes on SDL2, SDL2_mixer and libvorbisfile.
find_package(SDL2 REQUIRED CONFIG)
find_package(SDL2_mixer REQUIRED CONFIG)
find_package(PkgConfig REQUIRED)
pkg_check_modules(QUADREL_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)

add_library(quadrel_io STATIC
  platform/Input.cpp
  platform/KeyCodes.cpp
  platform/MessageBox.cpp
  platform/MixerSound.cpp
  platform/Sound.cpp
  platform/TextMessageBox.cpp
  platform/WaveImage.cpp
)
# The drawn message box sets its text with SDL_ttf in a face fontconfig finds.
pkg_check_modules(QUADREL_BOX_DEPS REQUIRED IMPORTED_TARGET SDL2_ttf fontconfig)
target_include_directories(quadrel_io PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quadrel_io
  PUBLIC quadrel_core SDL2::SDL2
  PRIVATE SDL2_mixer::SDL2_mixer PkgConfig::QUADREL_VORBISFILE PkgConfig::QUADREL_BOX_DEPS)
