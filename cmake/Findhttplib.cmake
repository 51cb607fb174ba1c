# Finds cpp-httplib as the target httplib::httplib.
# - A CMake package of its own (vcpkg, MSYS2, an upstream install) is taken as it is.
# - Debian's libcpp-httplib-dev is a compiled library described by pkg-config; its compile
#   options (the TLS and compression support it was built with) change the layout of its
#   classes, so they go with the target.
# - Otherwise, as in the Windows prefixes, the single header httplib.h is the whole library;
#   on Windows it needs Winsock.
find_package(httplib CONFIG QUIET)
if(TARGET httplib::httplib)
  set(httplib_FOUND TRUE)
  return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(PC_HTTPLIB QUIET cpp-httplib)
  endif()
endif()
find_path(HTTPLIB_INCLUDE_DIR httplib.h HINTS ${PC_HTTPLIB_INCLUDE_DIRS})
set(_httplib_required HTTPLIB_INCLUDE_DIR)
if(PC_HTTPLIB_FOUND)
  find_library(HTTPLIB_LIBRARY cpp-httplib HINTS ${PC_HTTPLIB_LIBRARY_DIRS})
  list(APPEND _httplib_required HTTPLIB_LIBRARY)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(httplib REQUIRED_VARS ${_httplib_required} VERSION_VAR PC_HTTPLIB_VERSION)

if(httplib_FOUND AND NOT TARGET httplib::httplib)
  find_package(Threads REQUIRED)
  add_library(httplib::httplib INTERFACE IMPORTED)
  target_include_directories(httplib::httplib INTERFACE ${HTTPLIB_INCLUDE_DIR})
  target_link_libraries(httplib::httplib INTERFACE Threads::Threads)
  if(HTTPLIB_LIBRARY)
    target_link_libraries(httplib::httplib INTERFACE ${HTTPLIB_LIBRARY})
    target_compile_options(httplib::httplib INTERFACE ${PC_HTTPLIB_CFLAGS_OTHER})
  endif()
  if(WIN32)
    target_link_libraries(httplib::httplib INTERFACE ws2_32)
  endif()
endif()
mark_as_advanced(HTTPLIB_INCLUDE_DIR HTTPLIB_LIBRARY)
