# The rendering half of the platform layer: device, meshes, fonts, pictures and
# drawing helpers on SDL2 + OpenGL 3.3 (libepoxy), with a headless twin, and
# the millisecond clock.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QUADREL_RENDER_DEPS REQUIRED IMPORTED_TARGET
  sdl2 SDL2_ttf epoxy fontconfig stb)
find_package(assimp REQUIRED)

# The clock and the headless services need nothing but the core.
add_library(quadrel_render_headless STATIC
  platform/Clock.cpp
  platform/D3DMath.cpp
  platform/DeviceState.cpp
  platform/GraphicsBase.cpp
  platform/HeadlessGraphics.cpp
)
target_link_libraries(quadrel_render_headless PUBLIC quadrel_core)

add_library(quadrel_render STATIC
  platform/FontFace.cpp
  platform/GameWindow.cpp
  platform/GlGraphics.cpp
  platform/GlPipeline.cpp
  platform/GlResources.cpp
  platform/GlShaders.cpp
  platform/MeshData.cpp
  platform/Picture.cpp
  platform/XModelCheck.cpp
)
target_link_libraries(quadrel_render PUBLIC quadrel_render_headless PkgConfig::QUADREL_RENDER_DEPS
  assimp::assimp)
