# Sourced by the checks that run the program on a display of its own:
# start_xvfb starts Xvfb, sets $xvfb to its process and exports DISPLAY, or says why not.
# Needs $work, a folder of the check's own.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || {
        cat "$work/xvfb.log"
        echo "Xvfb did not start"
        return 1
    }
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}
