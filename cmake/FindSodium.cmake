# libsodium ships no CMake package file: this finds its header and library the way the other
# dependencies are found, in the cross builds' prefix (CMAKE_FIND_ROOT_PATH) or on the system.
#   Sodium::Sodium   the imported library
#   Sodium_FOUND, Sodium_INCLUDE_DIR, Sodium_LIBRARY
find_path(Sodium_INCLUDE_DIR sodium.h)
if(WIN32)
  # A Windows program links it statically, so that it imports only system DLLs.
  find_library(Sodium_LIBRARY NAMES libsodium.a sodium)
else()
  find_library(Sodium_LIBRARY NAMES sodium)
endif()

if(Sodium_INCLUDE_DIR AND EXISTS "${Sodium_INCLUDE_DIR}/sodium/version.h")
  file(STRINGS "${Sodium_INCLUDE_DIR}/sodium/version.h" _sodium_version_line
       REGEX "^#define SODIUM_VERSION_STRING \"[^\"]+\"")
  string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" Sodium_VERSION "${_sodium_version_line}")
  unset(_sodium_version_line)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Sodium REQUIRED_VARS Sodium_LIBRARY Sodium_INCLUDE_DIR VERSION_VAR Sodium_VERSION)
mark_as_advanced(Sodium_INCLUDE_DIR Sodium_LIBRARY)

if(Sodium_FOUND AND NOT TARGET Sodium::Sodium)
  add_library(Sodium::Sodium UNKNOWN IMPORTED)
  set_target_properties(Sodium::Sodium PROPERTIES
    IMPORTED_LOCATION "${Sodium_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Sodium_INCLUDE_DIR}")
  # Without it, sodium.h declares its functions as imported from a DLL.
  if(WIN32 AND Sodium_LIBRARY MATCHES "\\.a$" AND NOT Sodium_LIBRARY MATCHES "\\.dll\\.a$")
    set_property(TARGET Sodium::Sodium APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
  endif()
endif()
