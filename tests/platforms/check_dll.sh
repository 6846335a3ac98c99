#!/usr/bin/env bash
# Checks the Windows plug-in DLL as a Windows loader sees it:
# - a PE32+ image for x86-64;
# - exports exactly VSTPluginMain and main, at one address;
# - imports only from DLLs every Windows has (KERNEL32, USER32 and the C runtime msvcrt), so
#   nothing of the compiler's runtime (libstdc++, libgcc, winpthread) is needed beside it;
# - copies text with KERNEL32's lstrcpyA and formats it with USER32's wsprintfA.
# Usage: check_dll.sh OBJDUMP DLL   (OBJDUMP: the cross binutils' objdump)
set -euo pipefail
objdump=$1
dll=$2
if ! command -v "$objdump" >/dev/null 2>&1; then
    echo "SKIPPED: no objdump for Windows binaries ($objdump); install binutils-mingw-w64-x86-64"
    exit 77
fi
dump=$("$objdump" -p "$dll")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

grep -q 'file format pei-x86-64' <<<"$dump" || fail "not a 64-bit x86 PE image"

# Export Address Table lines: "[   0] +base[   1] 1370 Export RVA"; name table lines, after
# "[Ordinal/Name Pointer] Table": "[   0] VSTPluginMain", the number being the unbiased ordinal.
table=$(awk '
    /^Export Address Table/ { section = "eat"; next }
    /^\[Ordinal\/Name Pointer\] Table/ { section = "names"; next }
    /^$/ { section = "" }
    section == "eat" && match($0, /^\t\[ *[0-9]+\] \+base\[ *[0-9]+\] +[0-9a-f]+ +Export RVA/) {
        gsub(/[][]/, " "); print "rva", $1, $4
    }
    section == "names" && match($0, /^\t\[ *[0-9]+\] /) {
        gsub(/[][]/, " "); print "name", $1, $2
    }' <<<"$dump")
names=$(awk '$1 == "name" {print $3}' <<<"$table" | sort | tr '\n' ' ')
if [ "$names" != "VSTPluginMain main " ]; then
    fail "exported names are: ${names:-none} (expected: VSTPluginMain main)"
fi
addresses=$(awk '$1 == "rva" {rva[$2] = $3} $1 == "name" {print rva[$2]}' <<<"$table" | sort -u)
if [ "$(wc -w <<<"$addresses")" -ne 1 ]; then
    fail "VSTPluginMain and main are not at one address: $(tr '\n' ' ' <<<"$addresses")"
fi
entries=$(awk '$1 == "rva"' <<<"$table" | wc -l)
if [ "$entries" -ne 2 ]; then
    fail "the export address table has $entries entries (expected 2, one per name)"
fi

# Import lines: "DLL Name: KERNEL32.dll", then one line per routine: "<vma> <hint> <name>".
imports=$(awk '
    /^\tDLL Name: / { dll = tolower($3); print "dll", dll; next }
    /^The / { dll = "" }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print "routine", dll, $3 }' <<<"$dump")
dlls=$(awk '$1 == "dll" {print $2}' <<<"$imports" | sort -u | tr '\n' ' ')
for name in $dlls; do
    case $name in
        kernel32.dll | user32.dll | msvcrt.dll) ;;
        *) fail "imports $name, which Windows does not ship" ;;
    esac
done
grep -qx 'routine kernel32.dll lstrcpyA' <<<"$imports" || fail "lstrcpyA is not imported from KERNEL32"
grep -qx 'routine user32.dll wsprintfA' <<<"$imports" || fail "wsprintfA is not imported from USER32"

if [ "$failed" -ne 0 ]; then
    echo "--- $objdump -p $dll (exports and imports):"
    sed -n '/^The Import Tables/,/^The Function Table/p' <<<"$dump" | grep -v '^\s*$' | head -120
    exit 1
fi
echo "exports: VSTPluginMain and main at RVA $addresses; imports only from: $dlls"
