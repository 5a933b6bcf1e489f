# Cross-building the game for 64-bit Windows with Debian's mingw-w64 compilers (the posix
# thread model, which std::thread and std::mutex need). The libraries the game links are looked
# for only under ZW_WIN_PREFIX, where scripts/build-windows.sh builds them from Debian's sources.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZW_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZW_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZW_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZW_MINGW}-windres)
set(CMAKE_AR ${ZW_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZW_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT ZW_WIN_PREFIX AND DEFINED ENV{ZW_WIN_PREFIX})
  set(ZW_WIN_PREFIX $ENV{ZW_WIN_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${ZW_MINGW} ${ZW_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config answers for the Windows libraries only, never the machine's own.
if(ZW_WIN_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${ZW_WIN_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# One self-contained program: the C and C++ run-times and winpthread linked in, no DLLs beside.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test programs are run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
