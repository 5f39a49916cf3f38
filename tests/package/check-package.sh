#!/bin/bash
# Builds the Debian package and checks it as a desktop meets it: the desktop entry and the
# AppStream metadata validate; the package holds the program, the entry, the icon at every
# size and the metadata; apt-get installs it; the installed program opens its window under
# Xvfb with every icon size; and apt-get remove leaves nothing of it behind.
# Installing needs root (CI runs as root); otherwise that part is skipped and says why.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tests/xvfb.sh

icon_sizes=(16 22 24 32 48 64 128 256)
passed=0
failed=0
check() { # what, command...
    local what=$1
    shift
    if "$@"; then
        echo "  ok    $what"
        passed=$((passed + 1))
    else
        echo "  FAIL  $what"
        failed=$((failed + 1))
    fi
}
quiet() { # command...: its output only when it fails
    "$@" >"$work/output" 2>&1 || {
        cat "$work/output"
        return 1
    }
}
silent() { # command...: succeeds with nothing to say
    quiet "$@" || return 1
    [ ! -s "$work/output" ] || {
        cat "$work/output"
        return 1
    }
}
finish() { # [skipped]
    echo "package: $passed passed, $failed failed${1:+, $1 skipped}"
    exit $((failed > 0))
}

work=$(mktemp -d)
xvfb=
app=
stop() {
    if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null && wait "$xvfb" || true; fi
    rm -rf "$work"
}
trap stop EXIT

rm -f build/metatags_*.deb
quiet make --no-print-directory package || {
    echo "check-package: make package failed"
    exit 1
}
deb=$(echo build/metatags_*.deb)
echo "check-package: $deb"

# What the package holds, as paths from the root.
dpkg-deb -c "$deb" | awk '{ p = $6; sub(/^\./, "", p); sub(/\/$/, "", p); if (p != "") print p }' \
    >"$work/paths"
dpkg-deb -x "$deb" "$work/root"
holds() { grep -qx "$1" "$work/paths"; }
id=$(sed -n 's|^/usr/share/metainfo/\(.*\)\.metainfo\.xml$|\1|p' "$work/paths")
png_size() { # the width and height in a PNG file's header
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}
icons_drawn_at_their_sizes() {
    local size file
    for size in "${icon_sizes[@]}"; do
        file=/usr/share/icons/hicolor/${size}x$size/apps/$id.png
        holds "$file" && [ "$(png_size "$work/root$file")" = "${size}x$size" ] || return 1
    done
}

check "the metadata: /usr/share/metainfo/$id.metainfo.xml" test -n "$id"
check "the program: /usr/bin/metatags" holds /usr/bin/metatags
check "the desktop entry: /usr/share/applications/$id.desktop" \
    holds "/usr/share/applications/$id.desktop"
check "the icon at ${icon_sizes[*]} px in the hicolor theme" icons_drawn_at_their_sizes
check "the desktop entry names the icon $id" \
    grep -qx "Icon=$id" "$work/root/usr/share/applications/$id.desktop"
# Its hints count too: a menu category it cannot place the program in is only a hint.
check "desktop-file-validate, with not even a hint" \
    silent desktop-file-validate "$work/root/usr/share/applications/$id.desktop"
check "appstreamcli validate --no-net" \
    quiet appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml"

if [ "$(id -u)" != 0 ]; then
    echo "check-package: install, start and remove skipped: apt-get needs root, and this is" \
        "user $(id -un)"
    finish 1
fi

apt() { quiet env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"; }
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' metatags 2>/dev/null)" = installed ]; }
if installed; then
    echo "check-package: removing the metatags installed before the check"
    apt remove metatags
fi
# The package's folders that are there before it, which its removal must leave.
while read -r path; do
    if [ -d "$path" ]; then echo "$path"; fi
done <"$work/paths" >"$work/folders-before"

check "apt-get install ./$deb" apt install "./$deb"
on_disk() {
    local path
    while read -r path; do
        [ -e "$path" ] || return 1
    done <"$work/paths"
}
check "every file of the package is installed" on_disk

# The installed program under Xvfb, as a desktop starts it.
start_xvfb
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb env -u QT_QPA_PLATFORMTHEME \
    /usr/bin/metatags 2>"$work/stderr" &
app=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Orlimo 3\.0 - ' | head -n 1) || true
check "/usr/bin/metatags opened its window: $(xdotool getwindowname "$window" 2>/dev/null)" \
    test -n "$window"
window_icon_sizes() {
    xprop -len 10000000 -id "$window" _NET_WM_ICON |
        sed -n 's/.*Icon (\([0-9]*\) x [0-9]*).*/\1/p' | sort -n | tr '\n' ' '
}
check "the window offers its icon at 16 22 24 32 48 64 128 200 256 px" \
    test "$(window_icon_sizes)" = "16 22 24 32 48 64 128 200 256 "
sleep 1
check "the program runs, with nothing on its error output" \
    test -d "/proc/$app" -a ! -s "$work/stderr"
cat "$work/stderr"
kill "$app"
wait "$app" 2>/dev/null || true
app=

check "apt-get remove -y metatags" apt remove metatags
check "dpkg keeps no record of it" \
    test -z "$(dpkg-query -W -f='${db:Status-Status}' metatags 2>/dev/null | grep -v not-installed)" \
    -a -z "$(find /var/lib/dpkg/info -name 'metatags.*')"
left_behind() {
    local path
    while read -r path; do
        if [ -e "$path" ] && ! grep -qx "$path" "$work/folders-before"; then echo "$path"; fi
    done <"$work/paths"
}
check "none of its files or folders is left" test -z "$(left_behind)"
left_behind
finish
