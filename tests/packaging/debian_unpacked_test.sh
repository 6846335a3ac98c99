#!/usr/bin/env bash
# The listeners' Debian package, unpacked into a root of its own with dpkg-deb -x: its varic
# loads its plug-in and runs the demo, and Ardour's VST scanner accepts the plug-in.
# Usage: debian_unpacked_test.sh DEB ARDOUR_SCAN_TEST
# Exits 77 (skipped) when Ardour is not installed.
set -uo pipefail
deb=$1 ardour_scan=$2

failed=0
fail() { echo "FAIL: $*"; failed=1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/fs" || exit 1
plugin=$root/fs/usr/lib/lxvst/VaricCrossfeed.so

info=$("$root/fs/usr/bin/varic" info --json) || fail "varic info: status $?"
grep -qF "\"path\": \"$plugin\"" <<<"$info" ||
    fail "varic did not load the package's plug-in: $(grep '"path"' <<<"$info")"
"$root/fs/usr/bin/varic" demo --out "$root/demo" >/dev/null || fail "varic demo: status $?"
[ -s "$root/demo/output.wav" ] || fail "varic demo rendered nothing"

"$ardour_scan" "$plugin" "$root/ardour_home"
status=$?
[ "$status" -eq 77 ] && exit 77
[ "$status" -eq 0 ] || fail "Ardour's scanner does not accept the package's plug-in"

[ "$failed" -eq 0 ] && echo "the unpacked package's varic and plug-in work"
exit "$failed"
