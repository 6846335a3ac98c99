#!/usr/bin/env bash
# varic render's outputs keep their bits: generated signals at several rates rendered at
# several strengths, precisions and output types, hashed, against the hashes kept beside this
# script. A change to the filter, to the host or to the file path that alters one byte of a
# render fails here. After a change that is meant to alter outputs, `--update` rewrites the
# kept hashes (say why in the commit).
#   render_golden_test.sh VARIC SIGNAL_FILES [--update]
set -euo pipefail
varic=$1 signal_files=$2
kept="$(dirname "$0")/render_golden.sha256"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for rate in 22050 44100 48000 96000; do
    "$signal_files" write "$work/in-$rate.wav" "$rate" 1
    for strength in 0 10 75 100; do
        for precision in 32 64; do
            for type in float pcm16 pcm24; do
                out="$work/out-$rate-$strength-$precision-$type.wav"
                "$varic" render -q "$work/in-$rate.wav" "$out" --strength "$strength" \
                    --precision "$precision" "--$type"
            done
        done
    done
done
(cd "$work" && sha256sum out-*.wav) > "$work/actual.sha256"

if [ "${3:-}" = --update ]; then
    cp "$work/actual.sha256" "$kept"
    echo "render_golden: $(wc -l <"$kept") hashes written to $kept"
    exit 0
fi
if ! diff "$kept" "$work/actual.sha256" >"$work/diff"; then
    echo "render_golden: renders differ from the kept hashes:" >&2
    grep '^>' "$work/diff" | sed 's/^> [0-9a-f]*  /  /' >&2
    exit 1
fi
echo "render_golden: $(wc -l <"$kept") renders keep their bits"
