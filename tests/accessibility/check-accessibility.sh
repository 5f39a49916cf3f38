#!/bin/bash
# Reads the window of build/metatags as a screen reader does: the program under its own Xvfb
# and session bus, where the AT-SPI bus starts on demand, read by read-tree.py through AT-SPI.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tests/xvfb.sh

work=$(mktemp -d)
xvfb=
stop() {
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null && wait "$xvfb" || true; fi
    rm -rf "$work"
}
trap stop EXIT

start_xvfb
mkdir -m 700 "$work/runtime"

# The buses' own messages go to a log, shown when the reading fails; the registry daemon
# announces itself on the output it shares with the reading.
status=0
XDG_RUNTIME_DIR="$work/runtime" \
    dbus-run-session -- /usr/bin/python3 tests/accessibility/read-tree.py build/metatags \
    >"$work/stdout" 2>"$work/stderr" || status=$?
grep -v '^SpiRegistry daemon is running' "$work/stdout" || true
if [ "$status" != 0 ]; then
    cat "$work/stderr"
    exit 1
fi
