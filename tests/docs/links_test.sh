#!/usr/bin/env bash
# Every relative link in the pages leads to a file that is there, and a link to a heading
# (page.md#heading) to a heading the page has, named as GitHub names it. Web addresses are
# not followed. Usage: links_test.sh ROOT PATTERN... (patterns relative to ROOT, globbed here)
set -uo pipefail
cd "$1" || exit 1
shift

# The anchors of a page's headings: lower case, without punctuation, blanks as hyphens.
anchors() {
    sed -n 's/^#\{1,6\} \(.*\)$/\1/p' "$1" | tr '[:upper:]' '[:lower:]' |
        sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

failed=0 links=0 pages=0
for pattern in "$@"; do
    for page in $pattern; do
        [ -f "$page" ] || { echo "FAIL: no page $page"; failed=1; continue; }
        pages=$((pages + 1))
        folder=$(dirname "$page")
        while read -r target; do
            case $target in http:* | https:* | mailto:*) continue ;; esac
            links=$((links + 1))
            path=${target%%#*} anchor=
            [ "$path" = "$target" ] || anchor=${target#*#}
            file=$page
            [ -z "$path" ] || file=$folder/$path
            if [ ! -e "$file" ]; then
                echo "FAIL: $page links to $target, which is not there"
                failed=1
            elif [ -n "$anchor" ] && ! anchors "$file" | grep -qxF -- "$anchor"; then
                echo "FAIL: $page links to $target: ${path:-the page} has no heading #$anchor"
                failed=1
            fi
        done < <(grep -oE '\]\([^) ]+\)|(src|href)="[^"]+"' "$page" |
            sed -E 's/^\]\((.*)\)$/\1/; s/^(src|href)="(.*)"$/\2/')
    done
done
[ "$pages" -gt 0 ] || { echo "FAIL: no page matched $*"; exit 1; }
[ "$failed" -eq 0 ] && echo "$links links in $pages pages lead where they say"
exit "$failed"
