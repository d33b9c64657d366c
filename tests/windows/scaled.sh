#!/usr/bin/env bash
# The Windows build at 150 % and 200 % display scale, under Wine: sets the
# prefix's display DPI (LogPixels, 144 and 192), starts MirevaleSetup.exe and
# checks from outside that its window is 660 x 430 times the scale in device
# pixels (990 x 645, 1320 x 860): the manifest's per-monitor DPI awareness and
# the program's high-DPI scaling at work. Screenshots of both go to
# build-windows/screenshots/ (windows-scaled-150.png, windows-scaled-200.png).
# Also checks that Qt's UI Automation bridge, through which screen readers
# reach the installer, is linked into MirevaleSetup.exe.
#
# Needs a display (scripts/test-windows runs it under Xvfb) and the Windows
# build in build-windows/. Leaves the prefix at 96 dpi.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
CHECKS_NAME=scaled
# shellcheck source=tests/windows/checks.sh
. "$ROOT/tests/windows/checks.sh"
mkdir -p "$SHOTS"

# The display's DPI as Wine reads it (the user's setting and the system's).
set_dpi() {
    local value
    value=$(printf '0x%08x' "$1")
    "$RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null 2>&1
    "$RUN" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null 2>&1
    WINEPREFIX=$WINEPREFIX wineserver -w 2>/dev/null || true
}

exe=$BIN/MirevaleSetup.exe
check "MirevaleSetup.exe holds Qt's UI Automation bridge" \
    bash -c "strings -el '$exe' | grep -q UIAutomationCore || strings '$exe' | grep -q UIAutomationCore"

for case in "144 990 645 150" "192 1320 860 200"; do
    read -r dpi want_w want_h percent <<<"$case"
    set_dpi "$dpi"
    SHOT=$SHOTS/windows-scaled-$percent.png
    root=$(mktemp -d)
    cp "$exe" "$root/"
    "$RUN" "Z:${root//\//\\}\\MirevaleSetup.exe" &
    installer=$!
    if wait_for 60 installer_window; then
        eval "$(xdotool getwindowgeometry --shell "$WID")" # X, Y, WIDTH, HEIGHT
        wait_for 20 painted "$SHOT" || true
        check "at $percent % the window is ${want_w}x${want_h} (it is ${WIDTH}x${HEIGHT})" \
            test "${WIDTH}x${HEIGHT}" = "${want_w}x${want_h}"
        check "at $percent % the window painted its white band (screenshot)" painted "$SHOT"
    else
        fail "at $percent % the installer window appeared"
    fi
    # Ends the installer and whatever else runs in this prefix.
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    wait "$installer" 2>/dev/null || true
    rm -rf "$root"
done
set_dpi 96
finish_checks
