#!/usr/bin/env bash
# An installed tree works on its own. A copy of it, away from where it was installed, with the
# source and build trees out of reach (an empty tmpfs over them, in a private mount
# namespace): its varic finds the plug-in installed beside it, describes it and renders
# through it, runs the validator installed beside it, and VARIC_PLUGIN still names another
# one. Nor does the installed varic or varic-validate carry the path of either tree. For effect developers it holds the guide, the validator's page and
# the examples outside share/doc, and pkg-config gives the compiler the flags and include
# folders the CMake target gives, where a source written against 1.0.0 still compiles.
# Usage: installed_tree_test.sh STAGE SOURCE_DIR BUILD_DIR OTHER_PLUGIN CXX
# Exits 77 (skipped) when no private mount namespace can be made.
set -uo pipefail

failed=0
fail() { echo "FAIL: $*"; failed=1; }

if [ "${1:-}" = --hidden ]; then
    # Second half, inside the namespace: the trees are hidden from here on.
    tree=$2 work=$3
    shift 3
    for hidden in "$@"; do mount -t tmpfs tmpfs "$hidden" || exit 1; done
    varic=$tree/bin/varic
    info=$("$varic" info --json) || fail "varic info: status $?"
    grep -qF "\"path\": \"$tree/lib/lxvst/VaricCrossfeed.so\"" <<<"$info" ||
        fail "varic info did not load the installed plug-in: $(grep '"path"' <<<"$info")"
    grep -qF '"effectName": "Varic Crossfeed"' <<<"$info" || fail "not the crossfeed: $info"
    "$varic" demo --out "$work/demo" >/dev/null || fail "varic demo: status $?"
    "$varic" render --strength 50 "$work/demo/input.wav" "$work/rendered.wav" ||
        fail "varic render: status $?"
    [ -s "$work/rendered.wav" ] || fail "varic render wrote nothing"
    "$varic" validate --quick --only loading >/dev/null || fail "varic validate: status $?"
    "$tree/bin/varic-validate" --quick --only loading >/dev/null ||
        fail "varic-validate: status $?"
    other=$(VARIC_PLUGIN=$work/other.so "$varic" info --json | grep '"path"')
    grep -qF "$work/other.so" <<<"$other" || fail "VARIC_PLUGIN was not used: $other"
    exit "$failed"
fi

stage=$1 source=$(realpath "$2") build=$(realpath "$3") other=$4 cxx=$5
if ! unshare --map-root-user --mount true 2>/dev/null; then
    echo "SKIPPED: no private mount namespace (unshare --map-root-user --mount) to hide the trees"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$stage" "$work/tree"
cp "$other" "$work/other.so"

for file in share/doc/vst-effect-base/effect-classes.md share/doc/vst-effect-base/validate.md \
    share/vst-effect-base/examples/gain/gain.cpp share/vst-effect-base/examples/README.md; do
    [ -f "$stage/$file" ] || fail "the install lacks $file"
done

# The flags that change what the classes compute, the same through both doors.
targets=$(find "$stage" -name VstEffectBaseTargets.cmake)
cmake_flags=$(sed -n 's/^ *INTERFACE_COMPILE_OPTIONS "\(.*\)"$/\1/p' "$targets" | tr ';' '\n' | sort)
pc=$(find "$stage" -name vst-effect-base.pc)
pc_flags=$(PKG_CONFIG_LIBDIR=${pc%/*} pkg-config --cflags-only-other vst-effect-base | tr ' ' '\n' |
    grep . | sort)
grep -qx -- -fno-fast-math <<<"$cmake_flags" || fail "the CMake target lacks -fno-fast-math"
[ "$pc_flags" = "$cmake_flags" ] ||
    fail "pkg-config gives $(echo $pc_flags), the CMake target $(echo $cmake_flags)"

# The include folders too (the same for both targets): both header folders, where the headers
# name each other by file name, and the one above them, where 1.0.0's folder names, and its
# two headers since moved to binding/, still resolve.
cmake_includes=$(sed -n 's/^ *INTERFACE_INCLUDE_DIRECTORIES "\(.*\)"$/\1/p' "$targets" |
    tr ';' '\n' | sed 's|^${_IMPORT_PREFIX}/||' | sort -u)
pc_includes=$(for flag in $(PKG_CONFIG_LIBDIR=${pc%/*} pkg-config --cflags-only-I vst-effect-base); do
    realpath --relative-to="$stage" "${flag#-I}"
done | sort)
[ "$pc_includes" = "$cmake_includes" ] ||
    fail "pkg-config includes $(echo $pc_includes), the CMake target $(echo $cmake_includes)"
printf '%s\n' '#include "binding/aeffect.h"' '#include "effect_base/audio_effect_x.h"' \
    '#include "effect_base/conversions.h"' '#include "effect_base/vst_records.h"' \
    'static_assert(sizeof(VstSpeakerProperties) == 112, "");' \
    'int f() { return conversions::oneOrZero(true) + kEffectMagic; }' >"$work/old_style.cpp"
"$cxx" -std=c++17 -fsyntax-only "$work/old_style.cpp" \
    $(PKG_CONFIG_LIBDIR=${pc%/*} pkg-config --cflags vst-effect-base) ||
    fail "a source in 1.0.0's style does not compile against the install"

for program in varic varic-validate; do
    if found=$(strings -n 4 "$work/tree/bin/$program" | grep -F -e "$source" -e "$build"); then
        fail "the installed $program contains the path of its trees: $found"
    fi
done

hide=("$source")
case $build in "$source"/*) ;; *) hide+=("$build") ;; esac
unshare --map-root-user --mount "$BASH" "$0" --hidden "$work/tree" "$work" "${hide[@]}" ||
    failed=1
[ "$failed" -eq 0 ] && echo "the installed tree works with the source and build trees hidden"
exit "$failed"
