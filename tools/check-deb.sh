#!/usr/bin/env bash
# make check-deb: checks the Debian package that make deb built. Installs the
# checkers it needs (not part of make test: it takes a few minutes), shows
# the package's control data and files, installs it into a throwaway root
# with dpkg --root, and checks there that every file is in place and that the
# desktop entry, the AppStream entry and the manual page pass their
# validators, and the package lintian (errors fail, warnings are shown).
#
#   bash tools/check-deb.sh [BUILD]      (default build-deb)
set -uo pipefail

BUILD="${1:-build-deb}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
start=$(date +%s)

FRAMZO_EXTRA_PKGS="dpkg-dev appstream man-db" bash "$HERE/install-deps.sh" || exit 1
# lintian is a large install and not always to be had: without it, say so.
if ! FRAMZO_EXTRA_PKGS="lintian" bash "$HERE/install-deps.sh"; then
  echo "check-deb: lintian could not be installed; its check is skipped"
fi

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)"
deb="$BUILD/framzo_${version}_$(dpkg --print-architecture).deb"
if [ -z "$version" ] || [ ! -f "$deb" ]; then
  echo "check-deb: no package in $BUILD (run make deb first)" >&2
  exit 1
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok   $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; [ $# -lt 2 ] || printf '%s\n' "$2" | sed 's/^/     /'; }
# check NAME COMMAND...: passes when the command succeeds and prints nothing.
check() {
  local name="$1" out
  shift
  if out="$("$@" 2>&1)" && [ -z "$out" ]; then pass "$name"; else fail "$name" "$out"; fi
}

echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
echo

# ---- the control data ---------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = framzo ] && pass "Package: framzo" || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] && pass "Version: $version" || fail "Version: $(field Version), project $version"
[ "$(field Section)" = graphics ] && pass "Section: graphics" || fail "Section: $(field Section)"
case "$(field Maintainer)" in Ketra*) pass "Maintainer: Ketra" ;; *) fail "Maintainer: $(field Maintainer)" ;; esac
# Worked out from the binary: the toolkit's libraries, the C library, and the
# libraries of the newer photo formats.
depends="$(field Depends)"
# the package names alone, one space around each
names=" $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends" | tr -s ' ') "
missing=""
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libheif1 libjxl0.7 libraw20; do
  [[ "$names" == *" $lib "* ]] || missing+=" $lib"
done
[ -z "$missing" ] && pass "Depends from the binary" || fail "Depends lacks$missing" "$depends"

# ---- installed into a throwaway root --------------------------------------------
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
admin="$root/var/lib/dpkg"
mkdir -p "$admin/info" "$admin/updates"
touch "$admin/available"
# The packages the package depends on are entered as installed, copied from
# this machine's database, so that dpkg checks the Depends line (versions
# included) without being told to ignore it.
for pkg in $names; do
  dpkg-query -s "$pkg" 2>/dev/null && echo
  name="$(dpkg-query -W -f='${binary:Package}' "$pkg" 2>/dev/null)" && touch "$admin/info/$name.list"
done >"$admin/status"
force=()
[ "$(id -u)" -eq 0 ] || force=(--force-not-root)
if out="$(dpkg --root="$root" "${force[@]}" -i "$deb" 2>&1)"; then
  pass "dpkg --root installs it, its Depends met by this machine"
else
  fail "dpkg --root" "$out"
  echo "     (unpacking with dpkg-deb -x to check the files)"
  dpkg-deb -x "$deb" "$root"
fi

usr="$root/usr"
[ -x "$usr/bin/framzo" ] && pass "bin/framzo" || fail "bin/framzo missing"
different=""
for page in "$ROOT"/help/*; do
  cmp -s "$page" "$usr/share/framzo/help/${page##*/}" || different+=" ${page##*/}"
done
[ -z "$different" ] && pass "help pages ($(ls "$ROOT/help" | wc -l) files, as in help/)" \
  || fail "help pages missing or different:$different"
desktop="$usr/share/applications/framzo.desktop"
[ -f "$desktop" ] && pass "desktop entry" || fail "desktop entry missing"
grep -q '^MimeType=.*image/jpeg' "$desktop" && pass "desktop entry's MimeType" || fail "desktop entry has no MimeType"
for size in 16 22 24 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${size}x${size}/apps/framzo.png"
  got="$(identify -format '%wx%h' "$icon" 2>&1)"
  [ "$got" = "${size}x${size}" ] && pass "icon ${size}x${size}" || fail "icon ${size}x${size}" "$got"
done
metainfo=("$usr"/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] && pass "metainfo $(basename "${metainfo[0]}")" || fail "no metainfo"
man="$usr/share/man/man1/framzo.1.gz"
[ -f "$man" ] && pass "manual page" || fail "manual page missing"
for doc in copyright changelog.gz; do
  [ -f "$usr/share/doc/framzo/$doc" ] && pass "doc/framzo/$doc" || fail "doc/framzo/$doc missing"
done

# Each place that names the version names this one.
grep -q "<release version=\"$version\" date=" "${metainfo[0]}" && pass "metainfo release $version" \
  || fail "metainfo has no release $version"
zcat "$man" | grep -q "^\.TH FRAMZO 1 .*\"Framzo $version\"" && pass "manual page of $version" \
  || fail "manual page is not of $version"
zcat "$usr/share/doc/framzo/changelog.gz" | head -1 | grep -q "^framzo ($version)" && pass "changelog of $version" \
  || fail "changelog's last entry is not $version"

# ---- the installed program runs --------------------------------------------------
out="$("$usr/bin/framzo" --version 2>&1)"
[ "$out" = "Framzo $version" ] && pass "framzo --version" || fail "framzo --version" "$out"
convert -size 40x30 xc:tomato "$work/red.png"
mkdir "$work/gallery"
if out="$("$usr/bin/framzo" --gallery "$work/gallery" "$work/red.png" 2>&1)" \
   && [ -f "$work/gallery/framzo.html" ] && [ -f "$work/gallery/framzo/preview_red.png" ]; then
  pass "framzo --gallery writes a gallery"
else
  fail "framzo --gallery" "$out"
fi

# ---- validators ------------------------------------------------------------------
check "desktop-file-validate" desktop-file-validate "$desktop"
if out="$(appstreamcli validate --no-net --explain "${metainfo[0]}" 2>&1)"; then
  pass "appstreamcli validate --no-net"
else
  fail "appstreamcli validate --no-net" "$out"
fi
if out="$(appstreamcli validate-tree --no-net --explain "$root" 2>&1)"; then
  pass "appstreamcli validate-tree --no-net (metainfo, desktop entry, icons)"
else
  fail "appstreamcli validate-tree --no-net" "$out"
fi
# As lintian renders pages: what groff warns of goes to standard error.
man_warnings() {
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null
}
check "man renders the page without warnings" man_warnings "$man"
# Every option framzo --help lists is in the manual page.
text="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$man" 2>/dev/null | col -b)"
missing=""
for opt in $("$usr/bin/framzo" --help | grep -oE '(^|[ [])--?[a-z][a-z-]*' | tr -d ' [' | sort -u); do
  grep -qe "$opt" <<<"$text" || missing+=" $opt"
done
[ -z "$missing" ] && pass "manual page has every option of framzo --help" || fail "manual page lacks$missing"

if command -v lintian >/dev/null; then
  out="$(lintian --fail-on error --display-info "$deb" 2>&1)"
  rc=$?
  out="$(grep -v '^running with root privileges' <<<"$out")"
  [ -z "$out" ] || printf '%s\n' "$out"
  if [ $rc -eq 0 ]; then
    pass "lintian: no errors, $(grep -c "^W:" <<<"$out") warnings, $(grep -c "^I:" <<<"$out") notes"
  else
    fail "lintian found errors"
  fi
fi

echo "check-deb: $(( $(date +%s) - start )) s"
echo "check-deb: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
