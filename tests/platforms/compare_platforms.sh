#!/usr/bin/env bash
# The Linux module and the Windows DLL process the same long random signals (render_outputs'
# cases: several rates and strengths, both precisions, random block sizes) and must give
# identical bits; so must the parameter's values and texts.
# Usage: compare_platforms.sh WINE_RUN PREFIX WINDOWS_RENDER DLL LINUX_RENDER MODULE OUTDIR
# Exits 77 (skipped) when Wine or the Linux build is missing, saying which.
set -uo pipefail
[ $# -eq 7 ] || { sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
wine_run=$1 prefix=$2 windows_render=$3 dll=$4 linux_render=$5 module=$6 outdir=$7

for built in "$linux_render" "$module"; do
    if [ ! -x "$built" ] && [ ! -f "$built" ]; then
        echo "SKIPPED: $built is missing: build the Linux release preset first" \
             "(cmake --preset release && cmake --build --preset release), or point" \
             "VARIC_LINUX_BUILD at another Linux build"
        exit 77
    fi
done
mkdir -p "$outdir"
rm -f "$outdir/windows.bin" "$outdir/linux.bin"

"$wine_run" "$prefix" "$windows_render" render "Z:$dll" "Z:$outdir/windows.bin"
status=$?
[ "$status" -eq 0 ] || exit "$status"  # 77 when Wine is missing
"$linux_render" render "$module" "$outdir/linux.bin" || exit 1
"$linux_render" compare "$outdir/linux.bin" "$outdir/windows.bin"
