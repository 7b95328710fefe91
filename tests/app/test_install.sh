#!/usr/bin/env bash
# Installs the build as the Debian package lays it out (prefix /usr under a
# temporary root) and checks it as a desktop would use it: exactly the expected
# files, the programs running from there and finding their shipped files in
# the shared data folder (the window in German, watched by the observer
# plugin), the desktop entry, icons, metadata and manual pages. Then removes
# what was installed and finds nothing left behind.
#
# test_install.sh CMAKE BUILD_DIR SOURCE_DIR HAS_WINDOW(0|1) PLUGIN_DIR
#                 BINDIR DATADIR SHAREDDIR MANDIR
set -uo pipefail

if [ $# -ne 9 ]; then
  echo "usage: $0 CMAKE BUILD_DIR SOURCE_DIR HAS_WINDOW(0|1) PLUGIN_DIR BINDIR DATADIR SHAREDDIR MANDIR" >&2
  exit 2
fi
cmake_command=$1 build_dir=$2 source_dir=$3 has_window=$4 plugin_dir=$5
bindir=$6 datadir=$7 shareddir=$8 mandir=$9
case "$has_window" in 0 | 1) ;; *) echo "HAS_WINDOW must be 0 or 1, not '$has_window'" >&2; exit 2 ;; esac

work=$(mktemp -d "${TMPDIR:-/tmp}/zentaro-install.XXXXXX") || exit 1
trap 'rm -rf -- "$work"' EXIT
root="$work/root" # what the package manager would write into
mkdir -p "$root"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The manifest is read at once: another install from this build folder
# would rewrite it.
if ! log=$(DESTDIR="$root" timeout 60 "$cmake_command" --install "$build_dir" --prefix /usr 2>&1); then
  printf '%s\n' "$log" >&2
  echo "FAIL: cmake --install did not finish cleanly" >&2
  exit 1
fi
cp "$build_dir/install_manifest.txt" "$work/manifest" || exit 1

usr="$root/usr"
bin="$usr/$bindir"
shared="$usr/$shareddir"
desktop="$usr/$datadir/applications/zentaro.desktop"
metainfo="$usr/$datadir/metainfo/example.kestrix.Zentaro.metainfo.xml"
icons="$usr/$datadir/icons/hicolor"
icon_sizes="16 22 24 32 48 64 128 256 512"

# --- Exactly the expected files, nothing more (a stray build tool or test
# program would show here), nothing less.
{
  echo "usr/$bindir/zentaro-cli"
  [ "$has_window" = 1 ] && echo "usr/$bindir/zentaro"
  for f in "$source_dir"/languages/*; do
    name=$(basename "$f")
    [ "$name" = CMakeLists.txt ] || echo "usr/$shareddir/Languages/$name"
  done
  echo "usr/$shareddir/license.txt"
  echo "usr/$datadir/doc/zentaro/cli.md"
  echo "usr/$datadir/doc/zentaro/zentaro-cli.schema.json"
  if [ "$has_window" = 1 ]; then
    echo "usr/$datadir/applications/zentaro.desktop"
    echo "usr/$datadir/icons/hicolor/scalable/apps/zentaro.svg"
    for s in $icon_sizes; do echo "usr/$datadir/icons/hicolor/${s}x$s/apps/zentaro.png"; done
    echo "usr/$datadir/metainfo/example.kestrix.Zentaro.metainfo.xml"
    echo "usr/$mandir/man1/zentaro.1.gz"
    echo "usr/$mandir/man1/zentaro-cli.1.gz"
    echo "usr/$datadir/doc/zentaro/copyright"
  fi
} | sort >"$work/expected"
(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) >"$work/installed"
if ! diff -u "$work/expected" "$work/installed" >"$work/difference"; then
  fail "the installed files are not the expected ones (- expected, + installed):"
  sed -n '3,$p' "$work/difference" | grep '^[-+]' >&2
fi

# --- Shipped files: in the shared data folder, the same as in the repository.
[ -f "$shared/Languages/LanguageCodes.csv" ] || fail "$shareddir/Languages/LanguageCodes.csv is missing"
cmp -s "$source_dir/languages/German.lang.txt" "$shared/Languages/German.lang.txt" ||
  fail "$shareddir/Languages/German.lang.txt missing or different"
cmp -s "$source_dir/LICENSE" "$shared/license.txt" || fail "$shareddir/license.txt missing or different from LICENSE"

for program in zentaro-cli zentaro; do
  [ "$program" = zentaro ] && [ "$has_window" = 0 ] && continue
  [ -f "$bin/$program" ] && [ -x "$bin/$program" ] || fail "$bindir/$program is missing or not executable"
done

# --- The installed command-line program runs where it landed.
if [ -x "$bin/zentaro-cli" ]; then
  version=$(timeout 10 "$bin/zentaro-cli" --version 2>&1) || fail "installed zentaro-cli --version failed: $version"
  case "$version" in *Zentaro*) ;; *) fail "zentaro-cli --version says '$version'" ;; esac
  info=$(timeout 30 "$bin/zentaro-cli" --info 2>&1) || fail "installed zentaro-cli --info failed: $info"
  [ -n "$info" ] || fail "zentaro-cli --info printed nothing"
  # --help sends the reader to the guide by its installed path (configured for
  # the build's own prefix, so compared from the documentation folder on).
  guide=$(timeout 10 "$bin/zentaro-cli" --help | grep -o '/[^ ]*/doc/zentaro/cli\.md' | head -n 1)
  case "$guide" in
    */"$datadir"/doc/zentaro/cli.md)
      cmp -s "$source_dir/docs/cli.md" "$usr/$datadir/doc/zentaro/cli.md" ||
        fail "--help names $guide, which the installation does not hold as docs/cli.md" ;;
    *) fail "--help names no installed guide ('$guide')" ;;
  esac
fi

if [ "$has_window" = 1 ]; then
  # --- Desktop integration: the repository's files, valid, naming what was installed.
  cmp -s "$source_dir/assets/zentaro.desktop" "$desktop" || fail "desktop entry missing or different from assets/zentaro.desktop"
  cmp -s "$source_dir/assets/zentaro.svg" "$icons/scalable/apps/zentaro.svg" ||
    fail "scalable icon missing or different from assets/zentaro.svg"
  if [ -f "$desktop" ]; then
    if ! command -v desktop-file-validate >/dev/null; then
      fail "desktop-file-validate is not installed (package desktop-file-utils)"
    elif ! out=$(timeout 10 desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
      # It exits 0 on hints; anything it says counts.
      fail "desktop-file-validate: $out"
    fi
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon_name" = zentaro ] || fail "Icon=$icon_name does not name the installed icon"
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -n "$exec_name" ] && [ -x "$bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
  fi

  # Each fixed-size icon is a PNG of its folder's size: the signature, then the
  # header's width and height as 32-bit big-endian numbers.
  for s in $icon_sizes; do
    png="$icons/${s}x$s/apps/zentaro.png"
    [ -f "$png" ] || continue
    header=$(head -c 24 "$png" | od -An -tx1 | tr -d ' \n')
    want=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$s" "$s")
    [ "$header" = "$want" ] || fail "${s}x$s/apps/zentaro.png is no PNG of $s x $s pixels"
  done

  # The metadata launches the installed entry and provides the installed programs.
  if [ -f "$metainfo" ]; then
    grep -q '<launchable type="desktop-id">zentaro.desktop</launchable>' "$metainfo" ||
      fail "the metadata does not launch zentaro.desktop"
    for program in zentaro zentaro-cli; do
      grep -q "<binary>$program</binary>" "$metainfo" || fail "the metadata does not provide $program"
    done
  fi

  # The manual pages are compressed and current: zentaro-cli's names every
  # long option the installed program's --help does.
  for page in zentaro zentaro-cli; do
    gzip -t "$usr/$mandir/man1/$page.1.gz" 2>/dev/null || fail "man1/$page.1.gz is no gzip file"
  done
  if [ -x "$bin/zentaro-cli" ] && [ -f "$usr/$mandir/man1/zentaro-cli.1.gz" ]; then
    page=$(gzip -dc "$usr/$mandir/man1/zentaro-cli.1.gz" | sed 's/\\-/-/g')
    for option in $("$bin/zentaro-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      grep -q -- "$option" <<<"$page" || fail "the manual page of zentaro-cli lacks $option"
    done
  fi
  head -n 1 "$usr/$datadir/doc/zentaro/copyright" 2>/dev/null |
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "doc/zentaro/copyright is not in the machine-readable format"

  # --- The window program from the installed tree, in German, offscreen. Its
  # language files lie only in the shared data folder, so "Über Zentaro" as
  # the About window's title shows they were found there.
  if [ -x "$bin/zentaro" ]; then
    seen=$(bash "$(dirname "$0")/observe_window.sh" "$bin/zentaro" "$plugin_dir" 2>"$work/window.err")
    status=$?
    expected_seen=$(printf 'desktop-file: zentaro\nicon: ok\nmain-title: KESTRIX - Zentaro\nabout-title: \303\234ber Zentaro')
    if [ "$status" -ne 0 ] || [ "$seen" != "$expected_seen" ]; then
      fail "the installed window program (status $status) showed:"
      printf '%s\n' "$seen" >&2
      cat "$work/window.err" >&2
    fi
  fi
fi

# --- Removing what was installed leaves nothing: the programs wrote nothing
# into the installation.
# The manifest names the files as installed, without the root they went under.
while IFS= read -r file || [ -n "$file" ]; do # the last line has no line end
  rm -f -- "$root$file"
done <"$work/manifest"
find "$root" -depth -mindepth 1 -type d -empty -delete
left=$(cd "$root" && find . -mindepth 1 | sort)
[ -z "$left" ] || fail "left behind after removing the installed files: $left"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
