#!/bin/sh
# Runs a test program as a client of a headless KWin of its own, whose scripting (on the
# current session bus) lets the test read where its windows are placed.
# Usage: on_kwin.sh PROGRAM [ARGUMENTS...]
# Exits 77 (skipped) when KWin is not installed or does not start.
set -eu
installed=$(command -v kwin_wayland || true)
if [ -z "$installed" ]; then
    echo "on_kwin.sh: kwin_wayland is not installed" >&2
    exit 77
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "on_kwin.sh: no session bus (run under dbus-run-session)" >&2
    exit 77
fi

folder=$(mktemp -d)
compositor=
cleanup() {
    if [ -n "$compositor" ]; then
        kill "$compositor" 2>/dev/null || true
        wait "$compositor" 2>/dev/null || true
    fi
    rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The installed binary carries a file capability, which makes the loader ignore Qt's plugin
# paths; a plain copy drops it. KWin checks that its name ends in kwin_wayland.
cp "$installed" "$folder/kwin_wayland"

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$folder/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
socket="sonavel-kwin-$$"
log="$folder/kwin.log"
"$folder/kwin_wayland" --virtual \
    --width 1280 --height 1024 --socket "$socket" --no-lockscreen --no-global-shortcuts \
    >"$log" 2>&1 &
compositor=$!

kwin_ready() {
    [ -S "$XDG_RUNTIME_DIR/$socket" ] &&
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.kde.KWin 2>/dev/null |
        grep -q 'boolean true'
}

# Its socket comes before its workspace; it claims its bus name once the workspace (and its
# scripting) is there. Give up if it ends or takes unreasonably long.
tries=0
while ! kwin_ready; do
    if ! kill -0 "$compositor" 2>/dev/null || [ "$tries" -ge 600 ]; then
        echo "on_kwin.sh: kwin_wayland did not start:" >&2
        cat "$log" >&2
        exit 77
    fi
    tries=$((tries + 1))
    sleep 0.05
done

export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland SONAVEL_KWIN_LOG="$log"
# Not exec: the trap must still stop KWin and remove the folder afterwards.
"$@"
