# What both Windows cross builds share (MinGW-w64, posix threads, static). The toolchain file
# that includes this sets LAUNCHER_MINGW_TRIPLE, LAUNCHER_DEPS_ARCH and CMAKE_SYSTEM_PROCESSOR.
#   LAUNCHER_DEPS_PREFIX: where the cross-built bzip2, libpng, libjpeg and RapidJSON live;
#   by default the architecture's folder under LAUNCHER_DEPS_ROOT (/opt/launcher-deps).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${LAUNCHER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LAUNCHER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LAUNCHER_MINGW_TRIPLE}-windres)

if(NOT LAUNCHER_DEPS_PREFIX)
  if(DEFINED ENV{LAUNCHER_DEPS_ROOT})
    set(LAUNCHER_DEPS_PREFIX "$ENV{LAUNCHER_DEPS_ROOT}/${LAUNCHER_DEPS_ARCH}")
  else()
    set(LAUNCHER_DEPS_PREFIX /opt/launcher-deps/${LAUNCHER_DEPS_ARCH})
  endif()
endif()
# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LAUNCHER_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH "${LAUNCHER_DEPS_PREFIX}" /usr/${LAUNCHER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The directory holds libz.a and libz.dll.a: the program must not depend on zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
