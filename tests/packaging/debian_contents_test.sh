#!/usr/bin/env bash
# The Debian packages made by `cpack -G DEB`: their files under /usr, their control fields,
# and lintian's verdict (no errors; its warnings are shown).
# Usage: debian_contents_test.sh DEB_DIR VERSION
# Exits 77 (skipped) when lintian is not installed.
set -uo pipefail
dir=$1 version=$2
runtime=$dir/varic-crossfeed_${version}_amd64.deb
development=$dir/libvst-effect-base-dev_${version}_amd64.deb

failed=0
fail() { echo "FAIL: $*"; failed=1; }

has_files() {  # has_files DEB PATH...
    local deb=$1 listing path
    shift
    listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
    for path in "$@"; do
        grep -qxF "$path" <<<"$listing" || fail "$(basename "$deb") lacks $path"
    done
    if grep -v '^/usr/' <<<"$listing"; then fail "$(basename "$deb") has files outside /usr"; fi
}

field() { dpkg-deb --field "$1" "$2"; }

expect_field() {  # expect_field DEB FIELD PATTERN
    local value
    value=$(field "$1" "$2")
    grep -qE "$3" <<<"$value" || fail "$(basename "$1"): $2 is \"$value\", expected /$3/"
}

for deb in "$runtime" "$development"; do
    [ -f "$deb" ] || { echo "FAIL: no $deb"; exit 1; }
done

doc=/usr/share/doc/varic-crossfeed
has_files "$runtime" /usr/lib/lxvst/VaricCrossfeed.so /usr/bin/varic /usr/bin/varic-validate \
    /usr/share/man/man1/varic.1.gz /usr/share/man/man1/varic-validate.1.gz "$doc/README.md" \
    "$doc/LICENSE" "$doc/CHANGELOG.md" "$doc/docs/lv2-pipewire.md" "$doc/docs/varic.md" \
    "$doc/copyright" "$doc/changelog.gz" /usr/lib/lv2/varic-crossfeed.lv2/varic-crossfeed.so \
    /usr/lib/lv2/varic-crossfeed.lv2/manifest.ttl /usr/lib/lv2/varic-crossfeed.lv2/varic-crossfeed.ttl \
    /usr/share/varic-crossfeed/pipewire/varic-crossfeed.conf
include=/usr/include/vst-effect-base
lib=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
has_files "$development" "$include/binding/aeffect.h" "$include/effect_base/audio_effect.h" \
    "$include/effect_base/audio_effect_x.h" "$lib/libvst_effect_base.a" \
    "$lib/libvst_effect_entry.a" "$lib/cmake/VstEffectBase/VstEffectBaseConfig.cmake" \
    "$lib/pkgconfig/vst-effect-base.pc" /usr/share/vst-effect-base/exports.map \
    /usr/share/vst-effect-base/examples/gain/gain.cpp \
    /usr/share/vst-effect-base/examples/host_tempo/CMakeLists.txt \
    /usr/share/doc/vst-effect-base/effect-classes.md /usr/share/doc/vst-effect-base/validate.md \
    /usr/share/doc/libvst-effect-base-dev/copyright
if dpkg-deb --contents "$development" | grep -E 'crossfeed/|varic_crossfeed'; then
    fail "the crossfeed's internals are in the developers' package"
fi

expect_field "$runtime" Package '^varic-crossfeed$'
expect_field "$runtime" Version "^${version//./\\.}$"
expect_field "$runtime" Architecture '^amd64$'
expect_field "$runtime" Section '^sound$'
expect_field "$runtime" Recommends '^gnuplot-nox$'
# Computed by dpkg-shlibdeps from what varic and the plug-in link.
for library in libc6 libstdc\\+\\+6 libsndfile1; do
    expect_field "$runtime" Depends "(^|, )$library \\(>= [^)]+\\)"
done
expect_field "$development" Section '^libdevel$'
expect_field "$development" Recommends '^varic-crossfeed$'  # which has the validator
expect_field "$development" Description '^base classes for VST 2.4 effect plug-ins'

if ! command -v lintian >/dev/null; then
    echo "SKIPPED: lintian is not installed (Debian package lintian)"
    exit 77
fi
report=$(lintian --display-info "$runtime" "$development" 2>&1 | grep -v 'running with root privileges')
echo "--- lintian:"
echo "$report"
if grep -q '^E: ' <<<"$report"; then fail "lintian reports errors"; fi

[ "$failed" -eq 0 ] && echo "the Debian packages have their files, fields, and no lintian errors"
exit "$failed"
