#!/bin/sh
# Runs the accessibility tests with an accessibility bus of their own in the current session.
# Usage: run_accessibility_tests.sh [PYTHON TEST ARGUMENTS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
if [ ! -x "$launcher" ] || ! /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null; then
    echo "run_accessibility_tests.sh: needs at-spi2-core and python3-pyatspi" >&2
    exit 77
fi
# Its output goes nowhere: the bus it starts would otherwise hold the test's output open.
"$launcher" --launch-immediately >/dev/null 2>&1 &
bus=$!
trap 'kill "$bus" 2>/dev/null; wait "$bus" 2>/dev/null' EXIT
# Python's own site, not a private interpreter's: that is where libatspi's bindings are.
/usr/bin/python3 "$here/tst_accessibility.py" "$@"
