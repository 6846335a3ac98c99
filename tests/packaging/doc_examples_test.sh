#!/usr/bin/env bash
# The complete files that the README and docs/*.md show compile, and the effects among them
# pass the validator. A complete file is a fenced code block whose first line is a comment
# "// file: NAME" or "# file: NAME"; the blocks of one page make one project, built against
# the installed VstEffectBase: with CMake when the page has a CMakeLists.txt (through
# find_package), else each .cpp with pkg-config's flags. Every plug-in built exports only its
# entry, and the installed `varic validate` gives it no FAIL.
# Usage: doc_examples_test.sh SOURCE_DIR STAGE WORK CXX GENERATOR CHECK_EXPORTS
set -uo pipefail
source_dir=$1 stage=$(realpath "$2") work=$3 cxx=$4 generator=$5 check_exports=$6

failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work"
mkdir -p "$work"

# Writes each marked block of a page into FOLDER/NAME; prints the names.
extract() {  # extract PAGE FOLDER
    awk -v folder="$2" '
        /^```/ { if (fenced) { fenced = 0; file = "" } else { fenced = 1; first = 1 } next }
        fenced && first {
            first = 0
            if ($0 ~ /^(\/\/|#) file: [A-Za-z0-9_][A-Za-z0-9_.-]*$/) {
                file = folder "/" $3
                if (file in seen) { print "FAIL: " FILENAME ": " $3 " shown twice"; exit 1 }
                seen[file] = 1
                print $3
            }
        }
        fenced && file != "" { print > file }
    ' "$1"
}

validate() {  # validate PLUGIN WHAT
    local report
    "$check_exports" "$1" || fail "$2: wrong exports"
    report=$("$stage/bin/varic" validate "$1" 2>&1)
    local status=$?
    if [ "$status" -ne 0 ] || grep -q '^FAIL' <<<"$report"; then
        fail "$2: varic validate gives status $status:"
        echo "$report"
    else
        echo "$2: $(tail -n 1 <<<"$report")"
    fi
}

pc=$(find "$stage" -name vst-effect-base.pc)
blocks=0
for page in "$source_dir"/README.md "$source_dir"/docs/*.md; do
    [ -f "$page" ] || continue
    name=$(basename "$page" .md)
    folder=$work/$name
    mkdir -p "$folder"
    files=$(extract "$page" "$folder") || { fail "$files"; continue; }
    [ -n "$files" ] || continue
    blocks=$((blocks + $(wc -l <<<"$files")))
    echo "$name.md: $(echo $files)"
    if [ -f "$folder/CMakeLists.txt" ]; then
        if cmake -S "$folder" -B "$folder/build" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
                -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$stage" >"$folder/log" 2>&1 &&
           cmake --build "$folder/build" >>"$folder/log" 2>&1; then
            while read -r plugin; do
                validate "$plugin" "$name.md, $(basename "$plugin")"
            done < <(find "$folder/build" -maxdepth 1 -name '*.so')
        else
            fail "$name.md: its CMake project does not build"
            cat "$folder/log"
        fi
        continue
    fi
    for source in "$folder"/*.cpp; do
        [ -f "$source" ] || continue
        plugin=${source%.cpp}.so
        if PKG_CONFIG_LIBDIR=${pc%/*} "$cxx" -std=c++17 -O2 -shared -fPIC -o "$plugin" "$source" \
                $(PKG_CONFIG_LIBDIR=${pc%/*} pkg-config --cflags --libs vst-effect-base); then
            validate "$plugin" "$name.md, $(basename "$source")"
        else
            fail "$name.md: $(basename "$source") does not compile"
        fi
    done
done

[ "$blocks" -gt 0 ] || fail "no page shows a complete file (a block starting \"// file: NAME\")"
[ "$failed" -eq 0 ] && echo "the docs' $blocks complete files compile, and their effects validate"
exit "$failed"
