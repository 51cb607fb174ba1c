# Cross-compiles the same sources as a 64-bit Windows program: the end-to-end tests run it
# under 64-bit Wine on machines that cannot run 32-bit programs.
set(LAUNCHER_MINGW_TRIPLE x86_64-w64-mingw32)
set(LAUNCHER_DEPS_ARCH x86_64)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
