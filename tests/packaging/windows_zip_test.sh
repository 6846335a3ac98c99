#!/usr/bin/env bash
# The Windows zip made by `cpack -G ZIP`, unpacked: one folder with the DLL and its documents,
# nothing else, whose texts name only files in the zip; the DLL's exports and imports as
# check_dll.sh wants them; and its version resource, read back with wrestool (Debian package
# icoutils), naming the product and the version.
# Usage: windows_zip_test.sh UNPACKED_DIR VERSION CHECK_DLL OBJDUMP
# Exits 77 (skipped) when wrestool is not installed.
set -uo pipefail
unpacked=$1 version=$2 check_dll=$3 objdump=$4

failed=0
fail() { echo "FAIL: $*"; failed=1; }

folder=$unpacked/VaricCrossfeed-$version-win64
dll=$folder/VaricCrossfeed.dll
listing=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
expected="./VaricCrossfeed-$version-win64/CHANGELOG.md ./VaricCrossfeed-$version-win64/LICENSE.txt"
expected+=" ./VaricCrossfeed-$version-win64/README.txt ./VaricCrossfeed-$version-win64/VaricCrossfeed.dll "
[ "$listing" = "$expected" ] || fail "the zip holds: $listing"
[ -f "$dll" ] || exit 1
grep -q $'\r$' "$folder/README.txt" || fail "README.txt does not have Windows line ends"

# A user has the zip and nothing else: every relative Markdown link, and every file name a
# plain text mentions, is a file in the zip.
for text in "$folder"/*.md "$folder"/*.txt; do
    {
        grep -o '\]([^)]*)' "$text" | sed 's/^](\([^)#]*\).*/\1/' | grep -v '^[a-z]*:' | grep .
        case $text in *.txt) grep -oE '\b[A-Za-z0-9_-]+\.(txt|md|dll)\b' "$text" ;; esac
    } | sort -u | while read -r target; do
        [ -e "$folder/$target" ] || echo "FAIL: $(basename "$text") names $target, not in the zip"
    done
done | grep . && failed=1

"$check_dll" "$objdump" "$dll" || fail "the zipped DLL's exports or imports"

if ! command -v wrestool >/dev/null; then
    echo "SKIPPED: wrestool is not installed (Debian package icoutils)"
    exit 77
fi
resource=$(mktemp)
trap 'rm -f "$resource"' EXIT
wrestool --extract --raw --type=version "$dll" >"$resource" || fail "no version resource"

# VS_FIXEDFILEINFO follows its signature 0xFEEF04BD: the structure version, then the file
# and the product version, each as two 32-bit numbers of two 16-bit parts (high part first,
# each number little-endian).
hex=$(od -An -v -tx1 "$resource" | tr -d ' \n')
fixed=${hex#*bd04effe}
[ "$fixed" != "$hex" ] || fail "the resource has no fixed file information"
part() { local h=${fixed:$(($1 * 2)):4}; echo $((16#${h:2:2}${h:0:2})); }
file_version="$(part 6).$(part 4).$(part 10).$(part 8)"
product_version="$(part 14).$(part 12).$(part 18).$(part 16)"
[ "$file_version" = "$version.0" ] || fail "file version $file_version"
[ "$product_version" = "$version.0" ] || fail "product version $product_version"

# The strings: UTF-16 keys and values, NUL-separated; each key ends a field (its length and
# type words come before it), and the value is the next text after it.
strings_table=$(iconv -f UTF-16LE -t UTF-8 "$resource" 2>/dev/null | tr '\0' '\n' | grep -v '^$')
value() { awk -v key="$1" 'found { print; exit } $0 ~ key "$" { found = 1 }' <<<"$strings_table"; }
expect() {
    local actual
    actual=$(value "$1")
    [ "$actual" = "$2" ] || fail "$1 is \"$actual\" (expected \"$2\")"
}
expect ProductName "Varic Crossfeed"
expect CompanyName "Nalt"
expect FileVersion "$version.0"
expect ProductVersion "$version.0"
expect OriginalFilename "VaricCrossfeed.dll"
expect InternalName "VaricCrossfeed"
grep -q "FileDescription$" <<<"$strings_table" || fail "no FileDescription"
[ -n "$(value LegalCopyright)" ] || fail "no LegalCopyright"

[ "$failed" -eq 0 ] && echo "the zip's DLL is version $file_version of $(value ProductName) by $(value CompanyName)"
exit "$failed"
