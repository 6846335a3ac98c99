#!/usr/bin/env bash
# Every text that quotes what Strength does says what the filter computes: `strength_table
# --quotes` names each file and a phrase it must contain, line breaks and runs of blanks
# aside. A text that changes its wording changes the phrase in strength_table.cpp with it.
# Usage: quoted_numbers_test.sh STRENGTH_TABLE SOURCE_DIR
set -uo pipefail
program=$1 source_dir=$2

quotes=$("$program" --quotes) || { echo "FAIL: $program --quotes failed"; exit 1; }
[ -n "$quotes" ] || { echo "FAIL: $program --quotes named no text"; exit 1; }

failed=0 count=0
while IFS=$'\t' read -r file phrase; do
    count=$((count + 1))
    if ! tr -s '[:space:]' ' ' <"$source_dir/$file" | grep -qF -- "$phrase"; then
        echo "FAIL: $file does not say: $phrase"
        failed=1
    fi
done <<<"$quotes"
if [ "$failed" -ne 0 ]; then
    echo "The README's table, as the filter gives it ($program):"
    "$program"
    exit 1
fi
echo "$count quotes agree with the filter's response"
