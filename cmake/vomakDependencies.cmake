# The libraries Vomak links, found the same way by its own build and by a program that uses the installed package
# (vomakConfig.cmake includes this file with vomak_dependency standing for find_dependency).
# A subsystem that needs a library adds one line here and its target to VOMAK_DEPENDENCY_TARGETS.
vomak_dependency(PkgConfig)
vomak_dependency(Threads)
vomak_dependency(PNG)
vomak_dependency(JPEG)
vomak_dependency(ZLIB)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET GLOBAL vorbisfile vorbis ogg)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET GLOBAL libmpg123)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET GLOBAL freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET GLOBAL fontconfig)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET GLOBAL libavformat libavcodec libswscale libavutil)

set(VOMAK_DEPENDENCY_TARGETS PkgConfig::SDL2 PkgConfig::VORBIS PkgConfig::MPG123 PkgConfig::FREETYPE
  PkgConfig::FONTCONFIG PkgConfig::FFMPEG PNG::PNG JPEG::JPEG ZLIB::ZLIB Threads::Threads)
# The pkg-config modules of the same libraries, for vomak.pc.
set(VOMAK_PKGCONFIG_REQUIRES "sdl2 vorbisfile vorbis ogg libmpg123 freetype2 fontconfig libavformat libavcodec libswscale libavutil libpng libjpeg zlib")
# The MIDI synthesiser.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET GLOBAL fluidsynth)
list(APPEND VOMAK_DEPENDENCY_TARGETS PkgConfig::FLUIDSYNTH)
string(APPEND VOMAK_PKGCONFIG_REQUIRES " fluidsynth")
