#!/usr/bin/env bash
# Installs everything the launcher needs to build and test on Debian 12, as root.
# Idempotent: a second run that finds everything in place only checks and returns.
#
#   LAUNCHER_DEPS_ROOT  where the cross-built libraries go, one folder per architecture
#                       (default /opt/launcher-deps: i686 and x86_64 beneath it)
set -euo pipefail

deps_root="${LAUNCHER_DEPS_ROOT:-/opt/launcher-deps}"
arches=(i686 x86_64)
# Marks a prefix that holds all four libraries.
stamp_name=.complete-all
# libsodium came later, so it has a stamp of its own: prefixes made before it need only it.
sodium_stamp_name=.complete-sodium
# So did cpp-httplib, for update-site.exe's development server: only its single header.
httplib_stamp_name=.complete-httplib
# And libzstd, for the deltas between versions of a file.
zstd_stamp_name=.complete-zstd
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3 curl bzip2 lbzip2 file
  clang llvm
  libbz2-dev zlib1g-dev libpng-dev libjpeg-dev rapidjson-dev libgtest-dev libgmock-dev
  libcurl4-openssl-dev libsodium-dev libcpp-httplib-dev autoconf automake libtool
  libzstd-dev zstd xdelta3 bsdiff
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev nasm
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick xdotool x11-utils nginx-light dpkg-dev
)

log() { printf '[setup] %s\n' "$*"; }

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  if [ -z "$missing" ]; then
    log "packages: all present"
    return
  fi
  log "packages to install:" $missing
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
}

enable_source_entries() {
  local f=/etc/apt/sources.list.d/debian.sources
  [ -n "${sources_enabled:-}" ] && return
  sources_enabled=1
  if [ -f "$f" ] && grep -q '^Types: deb$' "$f"; then
    sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    apt-get update -q
  elif [ -f /etc/apt/sources.list ] && ! grep -q '^deb-src' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >> /etc/apt/sources.list
    apt-get update -q
  fi
}

# apt-get source with a fallback to the release version: the security suite's newest
# source sometimes answers 404 on the mirrors.
fetch_source() {
  local name="$1" fallback="$2"
  apt-get source -q --download-only "$name" >/dev/null 2>&1 \
    || apt-get source -q --download-only "$name=$fallback"
  rm -rf "$name-src"
  dpkg-source -x --no-check "$(ls -t ./"${name}"_*.dsc | head -n 1)" "$name-src" >/dev/null
}

# Builds the four libraries for one Windows architecture (i686 or x86_64) from the sources
# unpacked in the current folder, into that architecture's prefix.
build_for_arch() {
  local arch="$1" prefix="$deps_root/$1"
  local triple="$arch-w64-mingw32"
  local cc="$triple-gcc-posix"
  mkdir -p "$prefix/include" "$prefix/lib"

  log "$arch: bzip2"
  rm -f bzip2-src/*.o
  (cd bzip2-src &&
    for f in blocksort huffman crctable randtable compress decompress bzlib; do
      $cc -O2 -D_FILE_OFFSET_BITS=64 -c "$f.c" -o "$f.o"
    done &&
    rm -f "$prefix/lib/libbz2.a" &&
    "$triple-ar" rcs "$prefix/lib/libbz2.a" ./*.o &&
    cp bzlib.h "$prefix/include/")

  local toolchain="$here/../cmake/mingw-$arch.cmake"
  local cmake_common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain"
    -DLAUNCHER_DEPS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix")

  log "$arch: libjpeg-turbo"
  cmake -S libjpeg-turbo-src -B "build-jpeg-$arch" "${cmake_common[@]}" \
    -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF >/dev/null
  cmake --build "build-jpeg-$arch" >/dev/null && cmake --install "build-jpeg-$arch" >/dev/null

  log "$arch: libpng"
  cmake -S libpng1.6-src -B "build-png-$arch" "${cmake_common[@]}" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_USE_STATIC_LIBS=ON -DZLIB_ROOT="/usr/$triple" >/dev/null
  cmake --build "build-png-$arch" >/dev/null && cmake --install "build-png-$arch" >/dev/null

  # RapidJSON is header-only; it is installed with its CMake package so that find_package
  # finds it in the cross build as in the native one.
  log "$arch: RapidJSON"
  cmake -S rapidjson-src -B "build-rapidjson-$arch" -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DRAPIDJSON_BUILD_DOC=OFF -DRAPIDJSON_BUILD_EXAMPLES=OFF -DRAPIDJSON_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_DIR="$prefix/lib/cmake/RapidJSON" >/dev/null
  cmake --install "build-rapidjson-$arch" >/dev/null

  touch "$prefix/$stamp_name"
  log "$arch libraries installed in $prefix"
}

# Builds the static libsodium for one Windows architecture from the source unpacked in the
# current folder. The source is shared by both architectures, so each builds out of tree.
build_sodium_for_arch() {
  local arch="$1" prefix="$deps_root/$1"
  local triple="$arch-w64-mingw32"
  log "$arch: libsodium"
  rm -rf "build-sodium-$arch"
  mkdir "build-sodium-$arch"
  if ! (cd "build-sodium-$arch" &&
    ../libsodium-src/configure --host="$triple" --prefix="$prefix" \
      --disable-shared --enable-static CC="$triple-gcc-posix" &&
    make -j"$(nproc)" && make install) >"build-sodium-$arch.log" 2>&1; then
    tail -n 30 "build-sodium-$arch.log"
    log "$arch: libsodium failed to build"
    return 1
  fi
  touch "$prefix/$sodium_stamp_name"
  log "$arch libsodium installed in $prefix"
}

# cpp-httplib is one header; Debian's source package holds it with Debian's fixes applied.
install_httplib_for_arch() {
  local arch="$1" prefix="$deps_root/$1"
  mkdir -p "$prefix/include"
  cp cpp-httplib-src/httplib.h "$prefix/include/"
  touch "$prefix/$httplib_stamp_name"
  log "$arch cpp-httplib installed in $prefix"
}

# The static libzstd for one Windows architecture, out of tree like libsodium. Without the
# decoders of zstd's formats from before 1.0 (a delta is never one) and without its worker threads
# (a delta is made on one, so that every part of the new content can use the whole old content).
build_zstd_for_arch() {
  local arch="$1" prefix="$deps_root/$1"
  log "$arch: libzstd"
  if ! (cmake -S libzstd-src/build/cmake -B "build-zstd-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-$arch.cmake" -DLAUNCHER_DEPS_PREFIX="$prefix" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF \
      -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_LEGACY_SUPPORT=OFF \
      -DZSTD_MULTITHREAD_SUPPORT=OFF &&
    cmake --build "build-zstd-$arch" && cmake --install "build-zstd-$arch") >"build-zstd-$arch.log" 2>&1; then
    tail -n 30 "build-zstd-$arch.log"
    log "$arch: libzstd failed to build"
    return 1
  fi
  touch "$prefix/$zstd_stamp_name"
  log "$arch libzstd installed in $prefix"
}

# Prints the architectures whose prefix lacks the stamp, one a line; says which have it.
arches_without() {
  local stamp="$1" what="$2" arch
  for arch in "${arches[@]}"; do
    if [ -f "$deps_root/$arch/$stamp" ]; then
      log "$arch $what: present in $deps_root/$arch" >&2
    else
      echo "$arch"
    fi
  done
}

# The sources are fetched once, and only those some architecture still lacks.
cross_build_deps() {
  local arch work missing_libraries missing_sodium missing_httplib missing_zstd
  mapfile -t missing_libraries < <(arches_without "$stamp_name" libraries)
  mapfile -t missing_sodium < <(arches_without "$sodium_stamp_name" libsodium)
  mapfile -t missing_httplib < <(arches_without "$httplib_stamp_name" cpp-httplib)
  mapfile -t missing_zstd < <(arches_without "$zstd_stamp_name" libzstd)
  [ ${#missing_libraries[@]} -eq 0 ] && [ ${#missing_sodium[@]} -eq 0 ] && [ ${#missing_httplib[@]} -eq 0 ] &&
    [ ${#missing_zstd[@]} -eq 0 ] && return
  enable_source_entries
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  cd "$work"
  if [ ${#missing_libraries[@]} -gt 0 ]; then
    fetch_source bzip2 1.0.8-5
    fetch_source libjpeg-turbo 1:2.1.5-2
    fetch_source libpng1.6 1.6.39-2+deb12u5
    fetch_source rapidjson 1.1.0+dfsg2-7.1
    for arch in "${missing_libraries[@]}"; do
      build_for_arch "$arch"
    done
  fi
  if [ ${#missing_sodium[@]} -gt 0 ]; then
    fetch_source libsodium 1.0.18-1
    # Debian's source ships no generated configure script.
    if ! (cd libsodium-src && autoreconf -fi) >autoreconf.log 2>&1; then
      tail -n 30 autoreconf.log
      log "libsodium: autoreconf failed"
      return 1
    fi
    for arch in "${missing_sodium[@]}"; do
      build_sodium_for_arch "$arch"
    done
  fi
  if [ ${#missing_httplib[@]} -gt 0 ]; then
    fetch_source cpp-httplib 0.11.4+ds-1
    for arch in "${missing_httplib[@]}"; do
      install_httplib_for_arch "$arch"
    done
  fi
  if [ ${#missing_zstd[@]} -gt 0 ]; then
    fetch_source libzstd 1.5.4+dfsg2-5
    for arch in "${missing_zstd[@]}"; do
      build_zstd_for_arch "$arch"
    done
  fi
}

install_packages
cross_build_deps
log "done"
