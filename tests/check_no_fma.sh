#!/usr/bin/env bash
# Checks that a plug-in binary contains no fused multiply-add instruction. The crossfeed is
# bit-exact only when every product is rounded before it is added; a build that enables FMA
# (an -march above the x86-64 baseline, with contraction on, or GCC 12's SLP vectoriser with
# AVX even with -ffp-contract=off) breaks that silently. The whole binary is scanned.
#
# Usage: check_no_fma.sh BINARY [OBJDUMP]
#   OBJDUMP defaults to x86_64-w64-mingw32-objdump for a .dll when it is installed, else
#   objdump. Exit status: 0 clean, 1 fused multiply-add found, 2 no usable disassembly.
set -euo pipefail
binary=$1
objdump=${2:-}
if [ -z "$objdump" ]; then
    objdump=objdump
    case "$binary" in
        *.dll | *.DLL)
            if command -v x86_64-w64-mingw32-objdump >/dev/null; then
                objdump=x86_64-w64-mingw32-objdump
            fi
            ;;
    esac
fi
listing=$("$objdump" -d -C --no-show-raw-insn "$binary") || {
    echo "cannot disassemble $binary with $objdump"
    exit 2
}
# The crossfeed multiplies in double precision: a listing without that is not its code.
if ! grep -qE $'\tv?mulsd' <<<"$listing"; then
    echo "no double-precision multiplication in the disassembly of $binary: not checked"
    exit 2
fi
found=$(awk '/^[0-9a-f]+ <.*>:$/ { name = $0 }
             /\tvf(n)?m(add|sub)/ { print name; print "    " $0 }' <<<"$listing")
if [ -n "$found" ]; then
    echo "fused multiply-add found in $binary:"
    echo "$found"
    exit 1
fi
echo "no fused multiply-add in $binary ($(grep -cE $'^ +[0-9a-f]+:\t' <<<"$listing") instructions)"
