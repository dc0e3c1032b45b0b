# Every outside library the build uses, found once here; the folders link the
# imported targets. The headless core needs none of them.
find_package(PkgConfig REQUIRED)

if(NOT QUADREL_CORE_ONLY)
  # Platform: window, input, sound, drawing, message boxes.
  find_package(SDL2 REQUIRED CONFIG)
  find_package(SDL2_mixer REQUIRED CONFIG)
  pkg_check_modules(QUADREL_SDL2_TTF REQUIRED IMPORTED_TARGET GLOBAL SDL2_ttf)
  pkg_check_modules(QUADREL_FONTCONFIG REQUIRED IMPORTED_TARGET GLOBAL fontconfig)
  pkg_check_modules(QUADREL_EPOXY REQUIRED IMPORTED_TARGET GLOBAL epoxy)
  # Xlib: the error handler the game puts in front of Xlib's; XInput 2: the
  # mouse's raw motion in a window.
  pkg_check_modules(QUADREL_X11 REQUIRED IMPORTED_TARGET GLOBAL x11)
  pkg_check_modules(QUADREL_XI REQUIRED IMPORTED_TARGET GLOBAL xi)
  # Ogg Vorbis: decoding in the game (through vorbisfile alone), encoding in
  # the asset generator and the sound tests (the codec and the Ogg stream too).
  pkg_check_modules(QUADREL_VORBISFILE REQUIRED IMPORTED_TARGET GLOBAL vorbisfile)
  pkg_check_modules(QUADREL_VORBISENC REQUIRED IMPORTED_TARGET GLOBAL vorbisenc vorbis ogg)
endif()
if(NOT QUADREL_CORE_ONLY OR QUADREL_FUZZ)
  # Pictures: the game's loader, and the fuzz targets that run it alone.
  pkg_check_modules(QUADREL_STB REQUIRED IMPORTED_TARGET GLOBAL stb)
endif()
if(QUADREL_SERVER)
  find_package(SQLite3 REQUIRED)
  find_package(PostgreSQL REQUIRED)
  find_package(OpenSSL REQUIRED)
endif()
if(QUADREL_TESTS)
  find_package(GTest REQUIRED)
endif()
if(QUADREL_BENCH)
  find_package(benchmark REQUIRED)
endif()
