# Sourced by the Windows check scripts: counted checks that report under
# the caller's CHECKS_NAME and a summary that sets the exit status.
# shellcheck shell=bash

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
