# The Windows build, cross-built by scripts/build-windows.sh with cmake/mingw-w64-x86_64.cmake:
# the game (no console window), the pack tool, the scripted runner and the unit tests. The libraries
# are the static ones build-windows.sh makes from Debian's sources under ZW_WIN_PREFIX. The packs,
# tunes, fonts and the icon come from the Linux build's packbuild (ZW_WIN_DATA), so they are the
# very same bytes; the score service stays a Linux program.
find_package(PkgConfig REQUIRED)
# M_PI and its kin, which glibc's <cmath> gives and mingw's only on request.
add_compile_definitions(_USE_MATH_DEFINES)
include_directories(${CMAKE_SOURCE_DIR})

# Every folder's sources, listed by glob so that a new file needs no build edit.
function(zw_sources out)
  set(files)
  foreach(dir ${ARGN})
    file(GLOB f CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND files ${f})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# A static library with everything it needs itself, as pkg-config --static lists it.
function(zw_static_lib name module)
  pkg_check_modules(${name} REQUIRED ${module})
  add_library(zw_lib_${name} INTERFACE)
  target_include_directories(zw_lib_${name} INTERFACE ${${name}_STATIC_INCLUDE_DIRS})
  target_compile_options(zw_lib_${name} INTERFACE ${${name}_STATIC_CFLAGS_OTHER})
  set(flags ${${name}_STATIC_LDFLAGS})
  # SDL's start-up shim and the window subsystem are for the game alone, not every SDL user.
  list(REMOVE_ITEM flags -mwindows -lSDL2main -lmingw32)
  target_link_libraries(zw_lib_${name} INTERFACE ${flags})
endfunction()
zw_static_lib(SDL2 sdl2)
zw_static_lib(FREETYPE freetype2)
zw_static_lib(PNG libpng)
zw_static_lib(XMP libxmp)
# libxmp's header imports from a DLL unless told the library is linked in.
target_compile_definitions(zw_lib_XMP INTERFACE BUILDING_STATIC)
# The game names SDL's headers with their folder, as on Linux.
target_include_directories(zw_lib_SDL2 INTERFACE ${ZW_WIN_PREFIX}/include)
find_package(GTest REQUIRED)

if(NOT ZW_WIN_DATA)
  message(FATAL_ERROR "ZW_WIN_DATA: the Data folder (Res, Music, Fonts) the Linux packbuild made")
endif()
set(ZW_RUN_DIR ${CMAKE_BINARY_DIR})
file(MAKE_DIRECTORY ${ZW_RUN_DIR}/Data/Save)
foreach(sub Res Music Fonts)
  file(COPY ${ZW_WIN_DATA}/${sub} DESTINATION ${ZW_RUN_DIR}/Data)
endforeach()

zw_sources(PACKS_SRC packs)
add_library(zw_packs STATIC ${PACKS_SRC})

add_library(zw_online STATIC ${CMAKE_SOURCE_DIR}/online/score_record.cpp)

zw_sources(SPRITES_SRC sprites)
add_library(zw_sprites STATIC ${SPRITES_SRC})
target_link_libraries(zw_sprites PUBLIC zw_packs)

zw_sources(GAME_SRC shell world rider traffic frontend save platform/common)
# The saved files are written with Windows' own calls.
add_library(zw_game STATIC ${GAME_SRC} ${CMAKE_SOURCE_DIR}/platform/win/win_files.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/world/generator.cpp PROPERTIES COMPILE_OPTIONS "-O3")
target_link_libraries(zw_game PUBLIC zw_sprites zw_online zw_lib_FREETYPE)
target_compile_definitions(zw_game PUBLIC ZW_SCORE_HOST="${ZW_SCORE_HOST}")

# The score requests on WinHTTP, Windows' own HTTP client.
add_library(zw_net STATIC ${CMAKE_SOURCE_DIR}/platform/win/win_http.cpp)
target_link_libraries(zw_net PUBLIC winhttp)
target_compile_definitions(zw_net PRIVATE ZW_VERSION="${PROJECT_VERSION}")

zw_sources(REPLAY_SRC replay)
add_library(zw_replay STATIC ${REPLAY_SRC})
target_link_libraries(zw_replay PUBLIC zw_game)
target_compile_definitions(zw_replay PRIVATE ZW_VERSION="${PROJECT_VERSION}")

zw_sources(HEADLESS_SRC platform/headless)
add_library(zw_headless STATIC ${HEADLESS_SRC})
target_link_libraries(zw_headless PUBLIC zw_game)

zw_sources(MIX_SRC platform/mix)
add_library(zw_mix STATIC ${MIX_SRC})
target_link_libraries(zw_mix PUBLIC zw_lib_XMP)

# The real platform: SDL, with the browser and the folders from Windows' shell.
zw_sources(SDL_SRC platform/sdl)
add_library(zw_sdl STATIC ${SDL_SRC} ${CMAKE_SOURCE_DIR}/platform/win/win_shell.cpp
                                     ${CMAKE_SOURCE_DIR}/platform/win/win_folders.cpp
                                     ${CMAKE_SOURCE_DIR}/platform/win/win_session.cpp)
target_link_libraries(zw_sdl PUBLIC zw_game zw_mix zw_lib_SDL2 shell32 ole32)

zw_sources(TOOLCOMMON_SRC tools/common)
add_library(zw_toolcommon STATIC ${TOOLCOMMON_SRC})
target_link_libraries(zw_toolcommon PUBLIC zw_packs zw_mix zw_lib_PNG)

# The version information and the icon Explorer shows for the program.
set(ZW_WIN_ICON ${ZW_WIN_DATA}/../icon/zapwheely.ico)
configure_file(${CMAKE_SOURCE_DIR}/dist/windows/zapwheely.rc.in ${CMAKE_BINARY_DIR}/zapwheely.rc
               @ONLY)
add_executable(zapwheely WIN32 platform/sdl/program/main.cpp ${CMAKE_BINARY_DIR}/zapwheely.rc)
# SDL's start-up shim turns Windows' WinMain into the game's main.
target_link_libraries(zapwheely PRIVATE mingw32 SDL2main zw_sdl zw_replay zw_net)

zw_sources(AUTOPLAY_SRC tools/autoplay)
list(FILTER AUTOPLAY_SRC EXCLUDE REGEX ".*/tools/autoplay/main\\.cpp$")
add_library(zw_autoplay STATIC ${AUTOPLAY_SRC})
target_link_libraries(zw_autoplay PUBLIC zw_headless zw_replay zw_toolcommon zw_net)
add_executable(zapwheely-autoplay tools/autoplay/main.cpp)
target_link_libraries(zapwheely-autoplay PRIVATE zw_autoplay)

zw_sources(PACKTOOL_SRC tools/packtool)
add_executable(zapwheely-pack ${PACKTOOL_SRC} ${CMAKE_BINARY_DIR}/zapwheely.rc)
target_link_libraries(zapwheely-pack PRIVATE zw_toolcommon)

# The unit and scenario tests, run under Wine. Left out: the end-to-end score tests (they start
# the Linux score service) and the content build's own tests (packbuild is a Linux tool).
zw_sources(TESTS_SRC tests)
list(FILTER TESTS_SRC EXCLUDE REGEX ".*/tests/(online|verify)_test\\.cpp$")
# The Windows platform's own tests come with it.
zw_sources(WIN_TESTS_SRC tests/win)
add_executable(zw_tests ${TESTS_SRC} ${WIN_TESTS_SRC})
target_link_libraries(zw_tests PRIVATE zw_autoplay zw_sdl GTest::gtest GTest::gtest_main ws2_32)
# The tests run under Wine, which shows this machine's root as drive Z:. The tests move into
# scratch folders on C:, so the folders they come back to are named with their drive.
set(ZW_WINE_ROOT "Z:" CACHE STRING "the Windows drive the build machine's / is seen as")
target_compile_definitions(zw_tests PRIVATE ZW_SOURCE_DIR="${ZW_WINE_ROOT}${CMAKE_SOURCE_DIR}"
                                            ZW_RUN_DIR="${ZW_WINE_ROOT}${ZW_RUN_DIR}")
