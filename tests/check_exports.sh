#!/usr/bin/env bash
# Checks that a Linux plug-in binary defines exactly two dynamic functions, VSTPluginMain and
# main, and that both are at the same address.
set -euo pipefail
plugin=$1
functions=$(nm -D --defined-only "$plugin" | awk '$2 ~ /^[TtWi]$/ {print $1, $3}' | sort -k2)
names=$(echo "$functions" | awk '{print $2}' | tr '\n' ' ')
if [ "$names" != "VSTPluginMain main " ]; then
    echo "exported functions are: $names(expected: VSTPluginMain main)"
    exit 1
fi
addresses=$(echo "$functions" | awk '{print $1}' | sort -u | wc -l)
if [ "$addresses" -ne 1 ]; then
    echo "VSTPluginMain and main are at different addresses:"; echo "$functions"
    exit 1
fi
others=$(nm -D --defined-only "$plugin" | awk '$2 !~ /^[TtWi]$/ {print $3}' | tr '\n' ' ')
if [ -n "$others" ]; then
    echo "the binary also exports: $others"
    exit 1
fi
echo "exports: VSTPluginMain and main at $(echo "$functions" | awk 'NR==1{print $1}')"
