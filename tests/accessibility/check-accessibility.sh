#!/bin/bash
# Reads the window of build/metatags as a screen reader does: the program under its own Xvfb
# and session bus, where the AT-SPI bus starts on demand, read by read-tree.py through AT-SPI.
set -euo pipefail
cd "$(dirname "$0")/../.."

work=$(mktemp -d)
xvfb=
stop() {
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null && wait "$xvfb" || true; fi
    rm -rf "$work"
}
trap stop EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || {
    cat "$work/xvfb.log"
    echo "check-accessibility: Xvfb did not start"
    exit 1
}
mkdir -m 700 "$work/runtime"

# The buses' own messages go to a log, shown when the reading fails; the registry daemon
# announces itself on the output it shares with the reading.
status=0
DISPLAY=:$(cat "$work/display") XDG_RUNTIME_DIR="$work/runtime" \
    dbus-run-session -- /usr/bin/python3 tests/accessibility/read-tree.py build/metatags \
    >"$work/stdout" 2>"$work/stderr" || status=$?
grep -v '^SpiRegistry daemon is running' "$work/stdout" || true
if [ "$status" != 0 ]; then
    cat "$work/stderr"
    exit 1
fi
