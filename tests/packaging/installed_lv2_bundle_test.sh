#!/usr/bin/env bash
# lilv's lv2info, pointed at an installed tree's lib/lv2 and nothing else, finds the bundle and
# reads the plug-in as LV2 hosts will: its name and vendor, no latency, real-time capable, and
# five ports, the Strength control with its range and default.
# Usage: installed_lv2_bundle_test.sh STAGE
# Exits 77 (skipped) when lv2info is not installed.
set -uo pipefail
stage=$1
if ! command -v lv2info >/dev/null; then
    echo "SKIPPED: lv2info is not installed (Debian package lilv-utils)"
    exit 77
fi
info=$(LV2_PATH=$stage/lib/lv2 lv2info urn:nalt:varic-crossfeed 2>&1)
echo "$info"

failed=0
expect() {  # expect LINE...: each line, as lv2info prints it (tabs and padding squeezed)
    local squeezed line
    squeezed=$(tr -s '\t ' ' ' <<<"$info")
    for line in "$@"; do
        grep -qxF " $line" <<<"$squeezed" ||
            { echo "FAIL: lv2info does not say \"$line\""; failed=1; }
    done
}
lv2=http://lv2plug.in/ns/lv2core
expect "Name: Varic Crossfeed" "Author: Nalt" "Has latency: no" \
    "Binary: file://$(realpath "$stage")/lib/lv2/varic-crossfeed.lv2/varic-crossfeed.so" \
    "Optional Features: $lv2#hardRTCapable"
# Five ports, in this order: lv2info prints each port's symbol after its number.
symbols=$(grep -A3 -E '^\s*Port [0-9]+:' <<<"$info" | sed -n 's/^\s*Symbol:\s*//p' | tr '\n' ' ')
[ "$symbols" = "in_left in_right out_left out_right strength " ] ||
    { echo "FAIL: the ports are: $symbols"; failed=1; }
expect "Minimum: 0.000000" "Maximum: 100.000000" "Default: 10.000000" "Properties: $lv2#integer"
[ "$(grep -c 'Minimum:' <<<"$info")" -eq 1 ] ||
    { echo "FAIL: more than one ranged port"; failed=1; }
[ "$failed" -eq 0 ] && echo "lv2info reads the installed bundle"
exit "$failed"
