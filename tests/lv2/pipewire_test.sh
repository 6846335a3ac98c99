#!/usr/bin/env bash
# The shipped filter-chain file in a real PipeWire, headless: PipeWire and WirePlumber (its
# session manager) in a runtime folder of their own, with a null sink as the one output device
# and the file installed as a user installs it. Bounded in time; polls, never waits blindly.
#
#   pipewire_test.sh play CONF LV2_PATH VARIC SIGNAL_FILES
#       "Headphones with Varic Crossfeed" appears, feeding the default output (the null sink);
#       a file played into it with pw-cat reaches the null sink, where pw-record takes it from
#       the monitor, the bits of `varic render` of the same file at the file's Strength; and
#       again after Strength is set to 75 with pw-cli while PipeWire runs.
#   pipewire_test.sh pinned CONF LV2_PATH
#       with the file's target.object line filled in with the null sink's name, as the README
#       says, the device plays into the null sink even while it is the default output itself
#       and another sink ranks first.
#   pipewire_test.sh without-plugin CONF
#       with the plug-in gone, PipeWire starts all the same and the null sink is there.
#
# What PipeWire changes, and how the comparison allows for it: not a sample (32-bit floats all
# the way at the file's rate, every volume at 1), but the recording begins before the sound
# does, so it is compared from its first frame that is not silent (the file's first frame is
# not); and pw-cat does not play the last frames of a file that do not fill a whole buffer
# (PipeWire 0.3.65: 143360 frames of a file of 144000, 70 buffers of 2048), which is why the
# file ends in a quarter second of silence: the silence PipeWire plays after the file is the
# same input, and the crossfeed's tail in it is compared too.
#
# Exits 77 (skipped), saying why, when PipeWire or WirePlumber is missing or cannot start here.
set -uo pipefail
mode=$1 conf=$2 lv2_path=${3:-} varic=${4:-} signal_files=${5:-}

for tool in pipewire wireplumber pw-cat pw-record pw-link pw-cli; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (Debian packages pipewire, pipewire-bin, wireplumber)"
        exit 77
    fi
done

work=$(mktemp -d)
started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    wait
    rm -rf "$work"
}
trap cleanup EXIT

# Nothing of the user's own sound server, desktop or session bus.
unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR PIPEWIRE_CONFIG_DIR PIPEWIRE_DEBUG WIREPLUMBER_DEBUG
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY

# Runs a command every tenth of a second until it succeeds; fails after SECONDS.
poll() {
    local tenths=$(($1 * 10))
    shift
    until "$@" >/dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}

# A session in folder $1: PipeWire with the null sink and the given configuration files.
start_pipewire() {
    export XDG_RUNTIME_DIR=$1/run XDG_CONFIG_HOME=$1/config XDG_STATE_HOME=$1/state HOME=$1
    shift
    local conf_d=$XDG_CONFIG_HOME/pipewire/pipewire.conf.d
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    mkdir -p "$conf_d" "$XDG_STATE_HOME"
    cat >"$conf_d/00-null-sink.conf" <<'END'
context.objects = [
    {   factory = adapter
        args = {
            factory.name     = support.null-audio-sink
            node.name        = test_sink
            media.class      = Audio/Sink
            audio.position   = [ FL FR ]
            priority.session = 5000
            object.linger    = true
        }
    }
]
END
    [ $# -eq 0 ] || cp "$@" "$conf_d/"
    timeout 110 pipewire >"$XDG_CONFIG_HOME/pipewire.log" 2>&1 &
    started+=($!)
    poll 10 pw-cli info 0
}

# The probe: PipeWire on its own, to tell a machine where it cannot run from a fault of ours.
if ! start_pipewire "$work/probe"; then
    echo "SKIPPED: PipeWire does not start here; its last words:"
    tail -n 5 "$work/probe/config/pipewire.log"
    exit 77
fi
kill "${started[0]}"

session=$work/session
if [ "$mode" = without-plugin ]; then
    export LV2_PATH=$work/no-plugins
    mkdir -p "$LV2_PATH"
    start_pipewire "$session" "$conf" || {
        echo "FAIL: PipeWire does not start when the plug-in is missing:"
        cat "$session/config/pipewire.log"
        exit 1
    }
    nodes=$(pw-cli ls Node)
    grep -q 'node.name = "test_sink"' <<<"$nodes" || { echo "FAIL: no null sink"; exit 1; }
    if grep -q 'node.name = "varic_crossfeed"' <<<"$nodes"; then
        echo "FAIL: the crossfeed's device exists without its plug-in"
        exit 1
    fi
    echo "without the plug-in, PipeWire starts and its output device is there"
    exit 0
fi

export LV2_PATH=$lv2_path
if [ "$mode" = pinned ]; then
    sed 's|^\(\s*\)#target.object = .*|\1target.object = "test_sink"|' "$conf" >"$work/pinned.conf"
    grep -q 'target.object = "test_sink"' "$work/pinned.conf" ||
        { echo "FAIL: $conf has no #target.object line"; exit 1; }
    sed 's/test_sink/speakers/; s/priority.session = 5000/priority.session = 6000/' \
        "$work/probe/config/pipewire/pipewire.conf.d/00-null-sink.conf" >"$work/01-speakers.conf"
    conf=$work/pinned.conf
    set -- "$work/01-speakers.conf"
else
    set --
fi
start_pipewire "$session" "$conf" "$@" || {
    echo "FAIL: PipeWire does not start with $conf:"
    cat "$session/config/pipewire.log"
    exit 1
}
# WirePlumber with no hardware, Bluetooth or desktop portal: the null sink is all it finds.
mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/60-test-session.lua" <<'END'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
END
echo 'bluez_monitor.enabled = false' \
    >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/60-test-session.lua"
timeout 110 wireplumber >"$XDG_CONFIG_HOME/wireplumber.log" 2>&1 &
started+=($!)

fail() {
    echo "FAIL: $*"
    echo "--- PipeWire:"; cat "$XDG_CONFIG_HOME/pipewire.log"
    echo "--- WirePlumber:"; cat "$XDG_CONFIG_HOME/wireplumber.log"
    echo "--- links:"; pw-link -l
    exit 1
}
linked() {  # linked OUTPUT_PORT INPUT_PORT
    pw-link -l | grep -A2 -xF "$1" | grep -qxF "  |-> $2"
}

if [ "$mode" = pinned ]; then
    # The device made the default as a user makes it, by its number in wpctl's list.
    device() {
        wpctl status | sed -n 's/^[^0-9]*\([0-9]*\)\. Headphones with Varic Crossfeed .*/\1/p'
    }
    poll 20 eval '[ -n "$(device)" ]' || fail "WirePlumber does not list the device"
    poll 20 wpctl set-default "$(device)" || fail "wpctl set-default $(device) fails"
    poll 20 eval 'wpctl status | grep -qE "\*\s+[0-9]+\. Headphones with Varic Crossfeed"' ||
        fail "the device did not become the default"
    poll 20 linked varic_crossfeed.output:output_FL test_sink:playback_FL ||
        fail "the device does not play into the output it names"
    echo "the device plays into the output it names while it is the default"
    exit 0
fi

# The device, under the name users choose, feeding the default output.
poll 20 linked varic_crossfeed.output:output_FL test_sink:playback_FL ||
    fail "the crossfeed's output is not linked to the default output device"
linked varic_crossfeed.output:output_FR test_sink:playback_FR ||
    fail "the right channel is not linked"
pw-cli ls Node | grep -A12 -F 'node.name = "varic_crossfeed"' |
    grep -qF 'node.description = "Headphones with Varic Crossfeed"' ||
    fail "no device named Headphones with Varic Crossfeed"

# Plays the test file into the device and records what reaches the null sink; from its first
# sound on, the recording must be the bits of `varic render` at Strength $1.
play_and_compare() {
    local strength=$1 recorded=$work/recorded-$1.wav recorder
    "$varic" render -q --precision 32 --strength "$strength" "$work/played.wav" \
        "$work/expected.wav" || exit 1
    pw-record --target test_sink -P '{ stream.capture.sink = true }' --format f32 --rate 48000 \
        --channels 2 "$recorded" 2>"$work/pw-record.log" &
    recorder=$!
    started+=($recorder)
    poll 20 linked test_sink:monitor_FR pw-record:input_FR ||
        fail "pw-record is not linked to the monitor"
    timeout 60 pw-cat --playback --target varic_crossfeed "$work/played.wav" ||
        fail "pw-cat: status $?"
    # The recording catches up with what was played (status 3 while it is short).
    poll 20 eval '"$signal_files" compare "$work/expected.wav" "$recorded" --from-first-sound;
        [ $? -ne 3 ]'
    kill -INT "$recorder"
    wait "$recorder"
    echo -n "Strength $strength through PipeWire: "
    "$signal_files" compare "$work/expected.wav" "$recorded" --from-first-sound || exit 1
}

"$signal_files" write "$work/played.wav" 48000 2 || exit 1
strength=$(sed -n 's/.*control *= *{ *strength *= *\([0-9.]*\) *}.*/\1/p' "$conf")
[ -n "$strength" ] || fail "no Strength in $conf"
play_and_compare "$strength"
# Strength changed while PipeWire runs, as the README shows.
pw-cli set-param varic_crossfeed Props '{ params = [ "crossfeed:strength" 75 ] }' >/dev/null ||
    fail "pw-cli set-param: status $?"
play_and_compare 75
