#!/usr/bin/env bash
# An example effect builds against an installed VstEffectBase, once as its own CMake project
# through find_package and once with a plain compiler command through pkg-config; each
# plug-in exports only VSTPluginMain and main, and the installed varic loads it and shows its
# name and the display of its first parameter.
# Usage: example_test.sh EXAMPLE_DIR STAGE WORK CXX GENERATOR CHECK_EXPORTS NAME DISPLAY
set -uo pipefail
example=$1 stage=$(realpath "$2") work=$3 cxx=$4 generator=$5 check_exports=$6
name=$7 display=$8

failed=0
fail() { echo "FAIL: $*"; failed=1; }

loads() {  # loads PLUGIN HOW
    local info
    "$check_exports" "$1" || fail "$2: wrong exports"
    info=$("$stage/bin/varic" info --json "$1") || { fail "$2: varic info: status $?"; return; }
    grep -qF "\"effectName\": \"$name\"" <<<"$info" || fail "$2: not \"$name\": $info"
    local shown
    shown=$(sed -n 's/.*"index": 0, "name": "[^"]*", "display": "\([^"]*\)".*/\1/p' <<<"$info")
    [ "$shown" = "$display" ] || fail "$2: parameter 0 displays \"$shown\", not \"$display\""
}

rm -rf "$work"
mkdir -p "$work"

# find_package, searching the staged prefix.
if cmake -S "$example" -B "$work/cmake" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
         -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$stage" >"$work/configure.log" 2>&1 &&
   cmake --build "$work/cmake" >"$work/build.log" 2>&1; then
    grep -q "^VstEffectBase_DIR:PATH=$stage/" "$work/cmake/CMakeCache.txt" ||
        fail "find_package found another VstEffectBase: $(grep VstEffectBase_DIR "$work/cmake/CMakeCache.txt")"
    mapfile -t built < <(find "$work/cmake" -maxdepth 1 -name '*.so')
    [ "${#built[@]}" -eq 1 ] || fail "find_package: expected one plug-in, found ${#built[@]}"
    [ "${#built[@]}" -eq 1 ] && loads "${built[0]}" find_package
else
    fail "find_package: the CMake project does not build"
    cat "$work"/*.log
fi

# pkg-config, with the staged prefix's folder as its only search path.
pc=$(find "$stage" -name vst-effect-base.pc)
export PKG_CONFIG_LIBDIR=${pc%/*}
if flags=$(pkg-config --cflags --libs vst-effect-base) &&
   "$cxx" -std=c++17 -O2 -shared -fPIC -o "$work/pkg-config.so" "$example"/*.cpp $flags; then
    loads "$work/pkg-config.so" pkg-config
else
    fail "pkg-config: the example does not compile and link with: ${flags:-no flags}"
fi

[ "$failed" -eq 0 ] && echo "$(basename "$example") builds through find_package and pkg-config"
exit "$failed"
