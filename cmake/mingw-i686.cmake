# Cross-compiles the 32-bit Windows program with MinGW-w64 (posix threads).
#   LAUNCHER_DEPS_PREFIX: where the cross-built bzip2, libpng and libjpeg live.
set(CMAKE_SYSTEM_NAME Windows)
# libjpeg-turbo picks its SIMD code from the processor name.
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

if(NOT LAUNCHER_DEPS_PREFIX)
  if(DEFINED ENV{LAUNCHER_DEPS_PREFIX})
    set(LAUNCHER_DEPS_PREFIX "$ENV{LAUNCHER_DEPS_PREFIX}")
  else()
    set(LAUNCHER_DEPS_PREFIX /opt/launcher-deps/i686)
  endif()
endif()
# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LAUNCHER_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH "${LAUNCHER_DEPS_PREFIX}" /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The directory holds libz.a and libz.dll.a: the program must not depend on zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
