#!/usr/bin/env bash
# Runs Windows programs under Wine, in a throw-away prefix of their own:
#   wine_run.sh --prepare PREFIX          makes the prefix, once (the first start takes a while)
#   wine_run.sh PREFIX PROGRAM [ARG...]   runs PROGRAM there; its exit status is the result
# Exits 77, which CTest reports as skipped, when Wine is not installed, and says so.
set -uo pipefail

usage() {
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

find_wine() {
    local candidate
    for candidate in "${VARIC_WINE:-}" "$(command -v wine64 2>/dev/null)" \
                     /usr/lib/wine/wine64 /usr/lib64/wine/wine64 "$(command -v wine 2>/dev/null)"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

find_wineserver() {
    local candidate
    for candidate in "$(dirname "$1")/wineserver" "$(command -v wineserver 2>/dev/null)"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

[ $# -ge 2 ] || usage
if ! wine=$(find_wine); then
    echo "SKIPPED: Wine is not installed (Debian package wine64), so the Windows programs" \
         "cannot run here; set VARIC_WINE to use a Wine elsewhere"
    exit 77
fi
wineserver=$(find_wineserver "$wine") || wineserver=""

# No window, no debug output, and no offer to install Mono or Gecko in a fresh prefix.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$1" = "--prepare" ]; then
    export WINEPREFIX=$(realpath -m "$2")
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Several tests may start at once: one makes the prefix, the others wait for it.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ -f "$WINEPREFIX/system.reg" ]; then
        echo "Wine prefix ready: $WINEPREFIX ($("$wine" --version 2>/dev/null))"
        exit 0
    fi
    rm -rf "$WINEPREFIX"
    started=$SECONDS
    if ! "$wine" wineboot --init >"$WINEPREFIX.log" 2>&1; then
        echo "wineboot failed to make $WINEPREFIX:"
        cat "$WINEPREFIX.log"
        exit 1
    fi
    # The prefix is complete once its server has finished writing the registry.
    [ -n "$wineserver" ] && "$wineserver" -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wineboot left no registry in $WINEPREFIX:"
        cat "$WINEPREFIX.log"
        exit 1
    fi
    echo "Wine prefix made in $((SECONDS - started)) s: $WINEPREFIX ($("$wine" --version 2>/dev/null))"
    exit 0
fi

export WINEPREFIX=$(realpath -m "$1")
shift
[ $# -ge 1 ] || usage
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "no Wine prefix at $WINEPREFIX: run the wine_prefix test first"
    exit 1
fi
"$wine" "$@" </dev/null
