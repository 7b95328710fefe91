#!/usr/bin/env bash
# Builds the Debian package dist/zentaro_<version>_amd64.deb and checks it.
#
#   scripts/package-deb.sh           build the programs in build-deb/ with Debian's
#                                    compiler flags, stage the installation under /usr,
#                                    make the package, check it with lintian,
#                                    appstreamcli and desktop-file-validate
#   scripts/package-deb.sh --check   the same, then, as root: install the package with
#                                    apt-get, run both programs from /usr/bin (the window
#                                    offscreen, in German), remove it with --purge and
#                                    make sure none of its files is left
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
if [ "$check" = 1 ] && [ "$(id -u)" -ne 0 ]; then
  echo "--check installs the package system-wide: run it as root" >&2
  exit 2
fi

# Packaging needs more than the build: dpkg-buildflags and dpkg-shlibdeps,
# lintian, appstreamcli.
ZENTARO_PACKAGES+=(dpkg-dev lintian appstream)
zentaro_install_deps

# --- The build: a folder of its own (preset "deb": installed under /usr, no
# benchmarks) with the flags Debian builds its packages with, hardening
# included. Only what the package holds is built, and the observer plugin
# that --check watches the window with.
build="$ZENTARO_ROOT/build-deb"
cd "$ZENTARO_ROOT"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake --preset deb \
  "-DCMAKE_C_FLAGS=$(flags CFLAGS) $(flags CPPFLAGS)" \
  "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)" \
  "-DCMAKE_MODULE_LINKER_FLAGS=$(flags LDFLAGS)" >/dev/null
cmake --build --preset deb --parallel "$(nproc)" --target zentaro zentaro-cli zentaro_languages \
  zentaro_license zentaro_icons zentaro_packaging zentaro_install_observer
debian="$build/packaging/debian"
version=$(sed -n 's/^Version: //p' "$debian/control")
deb="$ZENTARO_ROOT/dist/zentaro_${version}_amd64.deb"

# --- The installation, staged.
stage="$build/deb/root"
rm -rf "$build/deb"
mkdir -p "$stage/DEBIAN" "$ZENTARO_ROOT/dist"
DESTDIR="$stage" cmake --install "$build" >/dev/null
# Stripped as Debian strips programs: the symbols and the compiler's notes go;
# the version block, a section the program reads at run time, stays.
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/zentaro" "$stage/usr/bin/zentaro-cli"
"$stage/usr/bin/zentaro-cli" --version >/dev/null || { echo "the stripped zentaro-cli lost its version" >&2; exit 1; }
doc="$stage/usr/share/doc/zentaro"
gzip -9 -n -c "$debian/changelog" >"$doc/changelog.gz"
# As dpkg would leave them, whatever the umask was.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage/usr" -type f ! -path '*/bin/*' -exec chmod 0644 {} +

# --- The control file: dependencies from the libraries the programs link,
# the size from what is installed.
# dpkg-shlibdeps reads the source package's control file; a minimal one will do.
mkdir -p "$build/deb/source/debian"
printf 'Source: zentaro\n\nPackage: zentaro\nArchitecture: amd64\n' >"$build/deb/source/debian/control"
shlibs=$(cd "$build/deb/source" &&
  dpkg-shlibdeps -O -e"$stage/usr/bin/zentaro" -e"$stage/usr/bin/zentaro-cli" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }
size=$(du -s -k --apparent-size "$stage/usr" | cut -f1)
sed -e "s/\${shlibs:Depends}/$shlibs/" -e "s/\${Installed-Size}/$size/" \
  "$debian/control" >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

rm -f "$deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "Built $deb ($(du -h "$deb" | cut -f1)), Depends: $shlibs"

# --- Checks of the package and its metadata.
failed=0
# Every warning fails: none is kept (the README lists the informational tags
# that remain, and why).
if ! lintian --fail-on error,warning "$deb"; then
  echo "lintian: the package has errors or warnings" >&2
  failed=1
fi
if ! appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/example.kestrix.Zentaro.metainfo.xml"; then
  failed=1
fi
if ! out=$(desktop-file-validate "$stage/usr/share/applications/zentaro.desktop" 2>&1) || [ -n "$out" ]; then
  echo "desktop-file-validate: $out" >&2
  failed=1
fi
[ "$failed" = 0 ] || exit 1
echo "lintian, appstreamcli and desktop-file-validate found nothing"
[ "$check" = 1 ] || exit 0

# --- Installed for real: both programs from /usr/bin, then removed without a trace.
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"
mapfile -t files < <(dpkg-query -L zentaro | while IFS= read -r f; do [ -d "$f" ] || echo "$f"; done)
problems=()
[ "$(command -v zentaro-cli)" = /usr/bin/zentaro-cli ] || problems+=("zentaro-cli is not /usr/bin/zentaro-cli")
/usr/bin/zentaro-cli --version || problems+=("zentaro-cli --version failed")
/usr/bin/zentaro-cli --info >/dev/null || problems+=("zentaro-cli --info failed")
guide=$(/usr/bin/zentaro-cli --help | grep -o '/usr/[^ ]*cli\.md')
[ "$guide" = /usr/share/doc/zentaro/cli.md ] && [ -f "$guide" ] ||
  problems+=("zentaro-cli --help names '$guide', not the installed guide")
seen=$(bash "$ZENTARO_ROOT/tests/app/observe_window.sh" /usr/bin/zentaro "$build/tests/plugins") ||
  problems+=("the window program ended with status $?")
printf '%s\n' "$seen"
expected=$(printf 'desktop-file: zentaro\nicon: ok\nmain-title: KESTRIX - Zentaro\nabout-title: \303\234ber Zentaro')
[ "$seen" = "$expected" ] || problems+=("the window did not show its icon and German texts as expected")

DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y zentaro
for f in "${files[@]}"; do
  [ ! -e "$f" ] && [ ! -L "$f" ] || problems+=("left behind: $f")
done
[ ! -e /usr/share/zentaro ] || problems+=("left behind: /usr/share/zentaro")
[ ! -e /usr/share/doc/zentaro ] || problems+=("left behind: /usr/share/doc/zentaro")

if [ ${#problems[@]} -gt 0 ]; then
  printf 'FAIL: %s\n' "${problems[@]}" >&2
  exit 1
fi
echo "Installed, ran and removed cleanly: $deb"
