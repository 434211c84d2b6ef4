#!/bin/sh
# Sets up, builds and launches Sonavel, passing on its arguments: scripts/run.sh [FILE]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" build
exec "${SONAVEL_BUILD_DIR:-$root/build}/sonavel" "$@"
