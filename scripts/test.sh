#!/bin/sh
# Sets up, builds and runs every test on a private X server and session bus.
# Extra arguments go to ctest (for example -R player_manager).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test
build=${SONAVEL_BUILD_DIR:-$root/build}

# Tests never touch the user's own settings, runtime folder or sound.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache"
export XDG_STATE_HOME="$scratch/state"

cd "$build"
dbus-run-session -- xvfb-run -a -s "-screen 0 1440x900x24 -nolisten tcp" \
    ctest --output-on-failure --timeout 600 "$@"
