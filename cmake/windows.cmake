# What the Windows build, cross-built by scripts/build-windows.sh with
# cmake/mingw-w64-x86_64.cmake, has of its own: the static libraries build-windows.sh makes from
# Debian's sources under ZW_WIN_PREFIX, the run-time folder with the Linux build's content
# (ZW_WIN_DATA: the packs, tunes, fonts and icon are the very same bytes) and the programs'
# resource file. The libraries and programs themselves are CMakeLists.txt's, the same as Linux's;
# the score service stays a Linux program.

# M_PI and its kin, which glibc's <cmath> gives and mingw's only on request.
add_compile_definitions(_USE_MATH_DEFINES)

# A static library with everything it needs itself, as pkg-config --static lists it, under the
# name pkg_check_modules gives it on Linux.
function(zw_static_lib name module)
  pkg_check_modules(${name} REQUIRED ${module})
  add_library(PkgConfig::${name} INTERFACE IMPORTED)
  target_include_directories(PkgConfig::${name} INTERFACE ${${name}_STATIC_INCLUDE_DIRS})
  target_compile_options(PkgConfig::${name} INTERFACE ${${name}_STATIC_CFLAGS_OTHER})
  set(flags ${${name}_STATIC_LDFLAGS})
  # SDL's start-up shim and the window subsystem are for the game alone, not every SDL user.
  list(REMOVE_ITEM flags -mwindows -lSDL2main -lmingw32)
  target_link_libraries(PkgConfig::${name} INTERFACE ${flags})
endfunction()
zw_static_lib(SDL2 sdl2)
zw_static_lib(FREETYPE freetype2)
zw_static_lib(PNG libpng)
zw_static_lib(XMP libxmp)
# libxmp's header imports from a DLL unless told the library is linked in.
target_compile_definitions(PkgConfig::XMP INTERFACE BUILDING_STATIC)
# The game names SDL's headers with their folder, as on Linux.
target_include_directories(PkgConfig::SDL2 INTERFACE ${ZW_WIN_PREFIX}/include)

if(NOT ZW_WIN_DATA)
  message(FATAL_ERROR "ZW_WIN_DATA: the Data folder (Res, Music, Fonts) the Linux packbuild made")
endif()
set(ZW_RUN_DIR ${CMAKE_BINARY_DIR})
file(MAKE_DIRECTORY ${ZW_RUN_DIR}/Data/Save)
foreach(sub Res Music Fonts)
  file(COPY ${ZW_WIN_DATA}/${sub} DESTINATION ${ZW_RUN_DIR}/Data)
endforeach()

# The version information and the icon Explorer shows for the programs.
set(ZW_WIN_ICON ${ZW_WIN_DATA}/../icon/zapwheely.ico)
configure_file(${CMAKE_SOURCE_DIR}/dist/windows/zapwheely.rc.in ${CMAKE_BINARY_DIR}/zapwheely.rc
               @ONLY)
set(ZW_WIN_RC ${CMAKE_BINARY_DIR}/zapwheely.rc)

# The tests run under Wine, which shows this machine's root as drive Z:. The tests move into
# scratch folders on C:, so the folders they come back to are named with their drive.
set(ZW_WINE_ROOT "Z:" CACHE STRING "the Windows drive the build machine's / is seen as")
