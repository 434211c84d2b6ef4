#!/bin/sh
# Runs a test program as a client of a headless Wayland compositor (weston) of its own, whose
# debug protocol lets the test read its scene graph (weston-debug).
# Usage: on_weston.sh PROGRAM [ARGUMENTS...]
set -eu
runtime=${XDG_RUNTIME_DIR:?needs XDG_RUNTIME_DIR}
socket="sonavel-weston-$$"
log=$(mktemp)
weston --backend=headless-backend.so --socket="$socket" --width=1440 --height=900 \
    --idle-time=0 --debug >"$log" 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null; wait "$compositor" 2>/dev/null; rm -f "$log"' EXIT

# Wait until it listens; give up if it ends or takes unreasonably long.
tries=0
while [ ! -S "$runtime/$socket" ]; do
    if ! kill -0 "$compositor" 2>/dev/null || [ "$tries" -ge 600 ]; then
        echo "on_weston.sh: weston did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.05
done

export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
"$@"
