#!/usr/bin/env bash
# One version: project(VERSION) is what `varic --version` prints, what the man page and the
# CHANGELOG's latest released entry name, what the plug-in's vendor version (fixed at 1000 by its
# identity) encodes as major × 1000 + minor × 100 + patch, and what both Turtle files of the
# LV2 bundle give as lv2:minorVersion 2 × (100 × major + minor) and lv2:microVersion
# 2 × patch (lv2/CMakeLists.txt says why).
# Usage: check_version.sh VERSION VARIC MANPAGE_GZ CHANGELOG LV2_BUNDLE
set -uo pipefail
version=$1 varic=$2 manpage=$3 changelog=$4 bundle=$5

failed=0
fail() { echo "FAIL: $*"; failed=1; }

IFS=. read -r major minor patch <<<"$version"
vendor_version=$((major * 1000 + minor * 100 + patch))

printed=$("$varic" --version | head -n 1)
[ "$printed" = "varic $version" ] || fail "varic --version prints \"$printed\""

reported=$("$varic" info --json | sed -n 's/^ *"vendorVersion": \([0-9-]*\),$/\1/p')
[ "$reported" = "$vendor_version" ] ||
    fail "the plug-in's vendor version is $reported; version $version makes it $vendor_version"

header=$(zcat "$manpage" | grep '^\.TH ')
grep -qF "\"varic $version\"" <<<"$header" || fail "the man page says: $header"

# Changes not yet released collect under "## [Unreleased]" above the latest version's entry.
latest=$(grep -oE '^## \[[^]]+\]' "$changelog" | grep -m1 -vF '## [Unreleased]')
[ "$latest" = "## [$version]" ] || fail "the CHANGELOG's latest entry is \"$latest\""

lv2_version="$((2 * (100 * major + minor))) $((2 * patch))"
for turtle in "$bundle/manifest.ttl" "$bundle/varic-crossfeed.ttl"; do
    found=$(sed -n 's/^\s*lv2:\(minor\|micro\)Version \([0-9]*\) ;$/\2/p' "$turtle" | tr '\n' ' ')
    [ "$found" = "$lv2_version " ] ||
        fail "$(basename "$turtle"): LV2 version \"$found\", expected \"$lv2_version\""
done

[ "$failed" -eq 0 ] &&
    echo "version $version (vendor version $vendor_version, LV2 ${lv2_version/ /.}) everywhere"
exit "$failed"
