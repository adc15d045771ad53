# Cross-compiling for Windows x64 with Debian's MinGW-w64 (posix threads, for
# std::thread). Used for our own build and for the libraries of
# scripts/build-windows-deps.sh, whose prefix is PMK_WINDOWS_DEPS.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# GCC does not realign the Windows stack for 32-byte vector spills (GCC bug
# 54412): aligned moves to a 16-byte-aligned slot fault. Unaligned moves are
# as fast on every processor with AVX, so the assembler writes only those.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# try_compile projects re-read this file without the cache: the prefix travels
# through the environment.
if(PMK_WINDOWS_DEPS)
  set(ENV{PMK_WINDOWS_DEPS} "${PMK_WINDOWS_DEPS}")
elseif(DEFINED ENV{PMK_WINDOWS_DEPS})
  set(PMK_WINDOWS_DEPS "$ENV{PMK_WINDOWS_DEPS}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PMK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
