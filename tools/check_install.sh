#!/usr/bin/env bash
# Installs a build into a temporary root and runs the installed program from there, as a user
# of that installation would:
#   check_install.sh destdir BUILD SOURCE   `cmake --install` with DESTDIR and prefix /opt/tunewright
#   check_install.sh deb BUILD SOURCE       `cpack -G DEB`, unpacked with `dpkg-deb -x` (prefix /usr),
#                                           its dependencies and what lintian says of it
# Checks: the files are where desktops and man look for them; --version agrees with the
# metainfo and the manual page; the installed demo clip analyses exactly as the build tree's;
# the virtual microphone finds the demo clip from the prefix. A failing run leaves its root in
# BUILD/test-output/install-MODE.
set -euo pipefail

mode=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$3" && pwd)
app_id=com.orvanesoft.Tunewright
work=$(mktemp -d /tmp/tw-install-XXXXXX)
kept="$build/test-output/install-$mode"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    rm -rf "$kept" && mkdir -p "$(dirname "$kept")" && mv "$work" "$kept"
    echo "$failures failures; the installed tree is in $kept" >&2
    exit 1
  fi
  rm -rf "$work"
}
trap finish EXIT

root="$work/root"
case "$mode" in
  destdir)
    prefix=/opt/tunewright
    DESTDIR="$root" cmake --install "$build" --prefix "$prefix" > "$work/install.log"
    ;;
  deb)
    prefix=/usr
    (cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" \
      > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; exit 1; }
    deb=$(ls "$work"/package/tunewright_*.deb)
    echo "package: $(basename "$deb")"
    dpkg-deb -x "$deb" "$root"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libc6 libportaudio2 libsndfile1; do
      [[ "$depends" == *"$lib"* ]] || fail "the package does not depend on $lib"
    done
    [ "$(dpkg-deb -f "$deb" Section)" = sound ] || fail "section is not sound"
    if command -v lintian > /dev/null; then
      # Errors fail the check; warnings and the rest are shown.
      lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
    else
      echo "lintian is not installed: the package is not linted"
    fi
    ;;
  *)
    echo "usage: $0 destdir|deb BUILD SOURCE" >&2
    exit 2
    ;;
esac

base="$root$prefix"
for file in bin/tunewright share/tunewright/demo-guitar.flac share/tunewright/help/index.html \
    share/tunewright/help/general.html share/tunewright/help/style.css \
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
    share/man/man1/tunewright.1.gz share/doc/tunewright/copyright; do
  [ -f "$base/$file" ] || fail "$prefix/$file is not installed"
done
if [ -f "$source_dir/resources/images/tunewright.svg" ]; then
  [ -f "$base/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no scalable icon"
  for size in 16 22 24 32 48 64 128 256 512; do
    icon="$base/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    if [ ! -f "$icon" ]; then
      fail "no ${size}x${size} icon"
    elif ! file "$icon" | grep -q "PNG image data, $size x $size"; then
      fail "the ${size}x${size} icon is $(file -b "$icon")"
    fi
  done
fi

# The desktop entry starts the installed program and names the installed icon.
desktop="$base/share/applications/$app_id.desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$base/bin/$exec_name" ] || fail "Exec=$exec_name is not in $prefix/bin"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "Icon= is not $app_id"

# Run with a clean environment: nothing may point the program back at the source tree.
run() {
  env -i PATH=/usr/bin:/bin HOME="$work/home" TUNEWRIGHT_AUDIO=virtual \
    TUNEWRIGHT_VIRTUAL_SPEED=0 "$base/bin/tunewright" "$@"
}
mkdir -p "$work/home"

version=$(run --version) || fail "--version exits with $?"
released=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
  "$base/share/metainfo/$app_id.metainfo.xml" | head -1)
[ "$version" = "Tunewright $released" ] || fail "--version says '$version', the metainfo $released"
zcat "$base/share/man/man1/tunewright.1.gz" | head -1 | grep -q "\"$version\"" ||
  fail "the manual page is not of $version"
echo "installed: $version in $prefix"

run --analyze "$base/share/tunewright/demo-guitar.flac" > "$work/installed.csv" ||
  fail "--analyze of the installed demo clip exits with $?"
"$build/tunewright" --analyze "$source_dir/resources/demo-guitar.flac" > "$work/built.csv"
cmp -s "$work/installed.csv" "$work/built.csv" ||
  fail "the installed demo clip analyses differently from the build tree's"
echo "demo clip: $(($(wc -l < "$work/installed.csv") - 1)) readings"

# Without its clip the virtual microphone hums a lone A2; the clip begins with the low E string,
# so an E2 shows that it was found in the prefix's share folder (a slow build may not get
# through all six strings in the time).
run --listen --seconds 2 > "$work/listen.csv" || fail "--listen on the demo input exits with $?"
notes=$(cut -d, -f3 "$work/listen.csv" | sed 1d | sort -u | tr '\n' ' ')
[[ " $notes" == *" E2 "* ]] || fail "the demo input has no E2: the clip was not found (heard: $notes)"
echo "demo input: $notes"

# The window itself, from the prefix, on the demo input: it opens, finds its artwork there
# (the string picker's background would be missing otherwise) and ends with 0 on SIGTERM.
if [ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null; then
  env -i PATH=/usr/bin:/bin HOME="$work/home" DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" \
    LOGNAME=installcheck \
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$base/bin/tunewright" --demo \
    > "$work/demo.out" 2>&1 &
  app=$!
  shown=""
  for _ in $(seq 100); do
    shown=$(xdotool search --onlyvisible --name '^Tunewright$' 2>/dev/null | head -1 || true)
    [ -n "$shown" ] && break
    sleep 0.1
  done
  [ -n "$shown" ] || {
    kill -KILL "$app" 2>/dev/null || true
    fail "--demo showed no window: $(cat "$work/demo.out")"
  }
  [ -f "$base/share/tunewright/images/1111.png" ] || fail "the picker's artwork is not installed"
  kill -TERM "$app"
  wait "$app" || fail "--demo ended with $? on SIGTERM"
  echo "demo window: shown and closed"
else
  echo "demo window: not tried (no display)"
fi
