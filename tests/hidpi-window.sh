#!/usr/bin/env bash
# hidpi-window.sh INSTALLER SHOTS_DIR
# Starts the installer on displays at 150 % and 200 % (tests/hidpi-run) and
# checks from outside, with xwininfo, that its window is 660 x 430 times the
# scale in device pixels: the program's own high-DPI opt-in at work. Saves a
# screenshot of each into SHOTS_DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
installer=$1
shots=$2
mkdir -p "$shots"
failed=0
for case in "144 990x645 150" "192 1320x860 200"; do
    read -r dpi want percent <<<"$case"
    got=$("$here/hidpi-run" "$dpi" bash -c '
        root=$(mktemp -d)
        MIREVALE_SYSTEM_ROOT=$root "$1" >/dev/null 2>&1 &
        pid=$!
        id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
        # The first paint has happened once the window shows the white band.
        for i in $(seq 100); do
            geom=$(xwininfo -id "$id" | awk "/Width:/ {w=\$2} /Height:/ {h=\$2} END {print w \"x\" h}")
            import -window "$id" "$2/scaled-$3.png" 2>/dev/null || true
            [ "$(convert "$2/scaled-$3.png" -format "%[pixel:p{40,$((${geom#*x} - 20))}]" info: 2>/dev/null)" = "srgb(255,255,255)" ] && break
            sleep 0.1
        done
        echo "$geom"
        kill "$pid"; wait "$pid" 2>/dev/null || true
        rm -rf "$root"' _ "$installer" "$shots" "$percent")
    if [ "$got" = "$want" ]; then
        echo "PASS: at $percent % the window is $got device pixels"
    else
        echo "FAIL: at $percent % the window is $got device pixels, not $want"
        failed=1
    fi
done
exit $failed
