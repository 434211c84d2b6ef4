#!/bin/sh
# Runs a test program as a client of a headless mutter of its own (GNOME's compositor).
# Usage: on_mutter.sh PROGRAM [ARGUMENTS...]
# Exits 77 (skipped) when mutter is not installed or does not start.
set -eu
if ! command -v mutter >/dev/null; then
    echo "on_mutter.sh: mutter is not installed" >&2
    exit 77
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "on_mutter.sh: no session bus (run under dbus-run-session)" >&2
    exit 77
fi
runtime=${XDG_RUNTIME_DIR:?needs XDG_RUNTIME_DIR}
socket="sonavel-mutter-$$"
log=$(mktemp)
mutter --headless --wayland --no-x11 --virtual-monitor 1440x900 --wayland-display="$socket" \
    >"$log" 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null; wait "$compositor" 2>/dev/null; rm -f "$log"' EXIT

# Wait until it listens; give up if it ends or takes unreasonably long.
tries=0
while [ ! -S "$runtime/$socket" ]; do
    if ! kill -0 "$compositor" 2>/dev/null || [ "$tries" -ge 600 ]; then
        echo "on_mutter.sh: mutter did not start:" >&2
        cat "$log" >&2
        exit 77
    fi
    tries=$((tries + 1))
    sleep 0.05
done

export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
# Not exec: the trap must still stop mutter afterwards.
"$@"
