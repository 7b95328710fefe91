#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source (the version
# the Linux build uses), cross-compiled with MinGW-w64, once per machine.
#
#   scripts/build-qt-windows.sh          build into the cache, or say it is there
#   scripts/build-qt-windows.sh --print  print the installed Qt's folder and exit
#
# The cache is $ZENTARO_QT_WINDOWS, else ~/.cache/zentaro/qt-6.4.2-mingw64; the
# Qt lands in its "qt" folder and a marker says it is complete. The build takes
# most of an hour on two cores; it never runs in CI. The system's apt
# configuration is left alone: the source comes through a sources list and
# package lists of the script's own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qt_version=6.4.2
cache="${ZENTARO_QT_WINDOWS:-$HOME/.cache/zentaro/qt-$qt_version-mingw64}"
prefix="$cache/qt"
marker="$prefix/.zentaro-complete"

if [ "${1:-}" = "--print" ]; then
  [ -f "$marker" ] || { echo "no Qt for Windows in $cache: run $0" >&2; exit 1; }
  echo "$prefix"
  exit 0
fi
# A cache from before the PCRE2 sources were kept is completed below.
if [ -f "$marker" ] && [ -f "$prefix/3rdparty/pcre2/src/pcre2.h" ]; then
  echo "Qt $qt_version for Windows is already built in $prefix"
  exit 0
fi

ZENTARO_PACKAGES=(
  build-essential cmake ninja-build dpkg-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools
)
zentaro_install_deps

host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)"
case "$host_version" in
  "$qt_version"*) ;;
  *) echo "the host's Qt tools are $host_version, not $qt_version" >&2; exit 1 ;;
esac

started=$SECONDS
mkdir -p "$cache"
apt_dir="$cache/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=-"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache::Archives=$apt_dir/archives"
)

source_dir="$cache/src/qtbase-everywhere-src-$qt_version"
if [ ! -f "$source_dir/CMakeLists.txt" ]; then
  echo "== Fetching Debian's qt6-base source"
  apt-get "${apt_options[@]}" update
  rm -rf "$cache/src"
  mkdir -p "$cache/src"
  (cd "$cache/src" && apt-get "${apt_options[@]}" source --download-only "qt6-base=$host_version")
  # Unpacked with Debian's patches, as Debian builds it.
  (cd "$cache/src" && dpkg-source --no-check -x qt6-base_*.dsc "qtbase-everywhere-src-$qt_version")
fi

build="$cache/build"
echo "== Configuring in $build"
# Shared Qt with Schannel for TLS and its own copies of the third-party
# libraries; no SQL, OpenGL, D-Bus or printing, which the program does not use.
# Debian's tarball has no wintab.h (tablet events off), and without OpenGL the
# Windows platform plugin must not take its dynamic-GL branch.
cmake -G Ninja -S "$source_dir" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$ZENTARO_ROOT/cmake/MinGW-w64.toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_schannel=ON -DFEATURE_openssl=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_tabletevent=OFF

echo "== Building (most of an hour)"
cmake --build "$build" --parallel "$(nproc)"
cmake --install "$build"
# The PCRE2 sources Qt carries, kept with it: the program's own 8-bit use of
# PCRE2 is built from them for Windows, where Debian has no PCRE2 to link.
rm -rf "$prefix/3rdparty/pcre2"
mkdir -p "$prefix/3rdparty"
cp -a "$source_dir/src/3rdparty/pcre2" "$prefix/3rdparty/pcre2"
echo "$qt_version $(date -u +%Y-%m-%dT%H:%M:%SZ)" >"$marker"
echo "Qt $qt_version for Windows built in $prefix in $(( (SECONDS - started) / 60 )) min"
