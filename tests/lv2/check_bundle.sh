#!/usr/bin/env bash
# The LV2 bundle as built:
#   check_bundle.sh exports BUNDLE   its module exports lv2_descriptor and nothing else
#   check_bundle.sh turtle BUNDLE    its Turtle files pass lv2_validate, which checks them
#                                    against the LV2 schemas Debian installs (package lv2-dev);
#                                    exits 77 (skipped) without it
set -uo pipefail
what=$1 bundle=$2
case $what in
    exports)
        exported=$(nm -D --defined-only "$bundle/varic-crossfeed.so" | awk '{print $3}' |
            tr '\n' ' ')
        [ "$exported" = "lv2_descriptor " ] ||
            { echo "FAIL: the module exports: $exported"; exit 1; }
        echo "exports: lv2_descriptor"
        ;;
    turtle)
        if ! command -v lv2_validate >/dev/null || ! command -v sord_validate >/dev/null; then
            echo "SKIPPED: lv2_validate is not installed (Debian packages lv2-dev and sordi)"
            exit 77
        fi
        lv2_validate "$bundle/manifest.ttl" "$bundle/varic-crossfeed.ttl" 2>&1 |
            grep -v '^Skipping file'
        ;;
    *) echo "usage: check_bundle.sh exports|turtle BUNDLE" >&2; exit 2 ;;
esac
