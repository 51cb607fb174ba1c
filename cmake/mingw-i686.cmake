# Cross-compiles the 32-bit Windows program, the product players run.
set(LAUNCHER_MINGW_TRIPLE i686-w64-mingw32)
set(LAUNCHER_DEPS_ARCH i686)
# libjpeg-turbo picks its SIMD code from the processor name.
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
