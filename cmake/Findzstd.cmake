# Finds libzstd as the target zstd::zstd, always its static library: the delta codec uses the
# part of libzstd's interface (the stable output buffer, frame headers) that is promised only to
# a program linked with the very version it was compiled against. Debian's libzstd-dev ships the
# static library beside the shared one; the Windows prefixes hold only the static one.
#   zstd_FOUND, zstd_INCLUDE_DIR, zstd_LIBRARY, zstd_VERSION
find_path(zstd_INCLUDE_DIR zstd.h)
find_library(zstd_LIBRARY NAMES libzstd.a)

if(zstd_INCLUDE_DIR AND EXISTS "${zstd_INCLUDE_DIR}/zstd.h")
  file(STRINGS "${zstd_INCLUDE_DIR}/zstd.h" _zstd_version_lines REGEX "^#define ZSTD_VERSION_(MAJOR|MINOR|RELEASE) ")
  string(REGEX REPLACE ".*MAJOR +([0-9]+).*MINOR +([0-9]+).*RELEASE +([0-9]+).*" "\\1.\\2.\\3" zstd_VERSION
         "${_zstd_version_lines}")
  unset(_zstd_version_lines)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(zstd REQUIRED_VARS zstd_LIBRARY zstd_INCLUDE_DIR VERSION_VAR zstd_VERSION)
mark_as_advanced(zstd_INCLUDE_DIR zstd_LIBRARY)

if(zstd_FOUND AND NOT TARGET zstd::zstd)
  add_library(zstd::zstd STATIC IMPORTED)
  set_target_properties(zstd::zstd PROPERTIES
    IMPORTED_LOCATION "${zstd_LIBRARY}"
    IMPORTED_LINK_INTERFACE_LANGUAGES C
    INTERFACE_INCLUDE_DIRECTORIES "${zstd_INCLUDE_DIR}")
endif()
