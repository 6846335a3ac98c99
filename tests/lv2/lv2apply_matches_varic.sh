#!/usr/bin/env bash
# lilv's lv2apply runs the LV2 plug-in over sound files (one frame per run call) at 44100, 48000
# and 96000 Hz and Strength 0, 10, 75 and 100; each output must be the bits of `varic render`
# of the VST 2.4 plug-in at the same settings, in 32-bit processing.
# Usage: lv2apply_matches_varic.sh LV2_PATH VARIC SIGNAL_FILES
# Exits 77 (skipped) when lv2apply is not installed.
set -uo pipefail
lv2_path=$1 varic=$2 signal_files=$3
if ! command -v lv2apply >/dev/null; then
    echo "SKIPPED: lv2apply is not installed (Debian package lilv-utils)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for rate in 44100 48000 96000; do
    "$signal_files" write "$work/in.wav" "$rate" 1 || exit 1
    for strength in 0 10 75 100; do
        if ! LV2_PATH=$lv2_path lv2apply -i "$work/in.wav" -o "$work/lv2.wav" \
            -c strength "$strength" urn:nalt:varic-crossfeed; then
            echo "FAIL: lv2apply at $rate Hz, Strength $strength"
            failed=1
            continue
        fi
        "$varic" render -q --precision 32 --strength "$strength" "$work/in.wav" "$work/vst.wav" ||
            exit 1
        echo -n "$rate Hz, Strength $strength: "
        "$signal_files" compare "$work/vst.wav" "$work/lv2.wav" || failed=1
    done
done
exit "$failed"
