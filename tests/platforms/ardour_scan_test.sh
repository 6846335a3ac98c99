#!/usr/bin/env bash
# Ardour 7's VST scanner, a real host, loads the module, makes an instance, queries it and
# writes what it found to its plug-in cache. The cache must describe the crossfeed: our name,
# vendor and unique ID, two inputs, two outputs, no MIDI, no editor, replacing processing.
# Usage: ardour_scan_test.sh MODULE HOME   (HOME: a folder the scanner may fill; emptied first)
# Exits 77 (skipped) when Ardour is not installed. ARDOUR_VST_SCANNER names another scanner.
set -uo pipefail
module=$(realpath "$1")
home=$2
scanner=${ARDOUR_VST_SCANNER:-/usr/lib/ardour7/ardour-vst-scanner}
if [ ! -x "$scanner" ]; then
    echo "SKIPPED: Ardour 7's VST scanner ($scanner) is not installed (Debian package ardour)"
    exit 77
fi

rm -rf "$home"
mkdir -p "$home"
HOME=$home XDG_CACHE_HOME=$home/.cache XDG_CONFIG_HOME=$home/.config \
    LD_LIBRARY_PATH="$(dirname "$scanner")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    timeout 60 "$scanner" -f "$module"
status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: the scanner exited with status $status"
    exit 1
fi

mapfile -t caches < <(find "$home/.cache/ardour7/vst" -name '*.v2i' 2>/dev/null)
if [ "${#caches[@]}" -ne 1 ]; then
    echo "FAIL: expected one cache file under $home/.cache/ardour7/vst, found ${#caches[@]}"
    exit 1
fi
cache=${caches[0]}
echo "--- $cache"
cat "$cache"

failed=0
# One element per plug-in in the binary; its attributes, one "name=value" per line.
count=$(grep -c '<VST2Info ' "$cache")
[ "$count" -eq 1 ] || { echo "FAIL: $count VST2Info elements (expected 1)"; failed=1; }
attributes=$(grep -o '<VST2Info [^>]*' "$cache" | grep -o '[a-z_]*="[^"]*"' | sed 's/="/=/; s/"$//')
cache_binary=$(grep -o '<VST2Cache [^>]*' "$cache" | grep -o 'binary="[^"]*"' | sed 's/^binary="//; s/"$//')
[ "$cache_binary" = "$module" ] || { echo "FAIL: the cache is for $cache_binary"; failed=1; }

expect() {
    local actual
    actual=$(grep "^$1=" <<<"$attributes" | head -1 | cut -d= -f2-)
    if [ "$actual" != "$2" ]; then
        echo "FAIL: $1 is \"$actual\" (expected \"$2\": $3)"
        failed=1
    fi
}
expect id 1851159160 "the unique ID 'nVrx', 0x6E567278"
expect name "Varic Crossfeed" "the effect name"
expect creator "Nalt" "the vendor"
expect n_inputs 2 "two inputs"
expect n_outputs 2 "two outputs"
expect n_midi_inputs 0 "no MIDI"
expect n_midi_outputs 0 "no MIDI"
expect is_instrument 0 "an effect"
expect has_editor 0 "no editor"
expect can_process_replace 1 "replacing processing"
[ "$failed" -eq 0 ] && echo "Ardour's scanner accepts the module"
exit "$failed"
