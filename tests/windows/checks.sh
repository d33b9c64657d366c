# Sourced by the Windows check scripts, after they set ROOT (the checkout):
# the Windows build's folders, counted checks that report under the caller's
# CHECKS_NAME, a summary that sets the exit status, and waiting on a
# condition with a deadline.
# shellcheck shell=bash

# shellcheck disable=SC2034 # for the scripts that source this
BUILD=$ROOT/${MIREVALE_WINDOWS_BUILD_DIR:-build-windows}
BIN=$BUILD/bin
RUN=$ROOT/scripts/wine-run
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix}
SHOTS=$BUILD/screenshots
# wait_for SECONDS COMMAND...: polls the condition every 0.1 s until the
# deadline; false when it never held.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
installer_window() {
    WID=$(xdotool search --onlyvisible --name '^TarvoSetup$' 2>/dev/null | head -n 1 || true)
    [ -n "$WID" ]
}
# painted FILE: a screenshot of the window at X, Y, WIDTH, HEIGHT, into FILE,
# shows the white band at its bottom, which is there once it has painted.
painted() {
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1" 2>/dev/null &&
        [ "$(convert "$1" -format "%[pixel:p{40,$((HEIGHT - 20))}]" info: 2>/dev/null)" = "srgb(255,255,255)" ]
}

failures=0
pass() { echo "$CHECKS_NAME: ok    $*"; }
fail() {
    echo "$CHECKS_NAME: FAIL  $*" >&2
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# finish_checks: exits 1 when a check failed, 0 otherwise.
finish_checks() {
    if [ "$failures" -ne 0 ]; then
        echo "$CHECKS_NAME: $failures check(s) failed" >&2
        exit 1
    fi
    echo "$CHECKS_NAME: all checks passed"
    exit 0
}
