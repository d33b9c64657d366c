# Shared by the scripts: source it after cd-ing to the top of the checkout.
#   die MESSAGE...            prints "<script>: MESSAGE" on stderr, exits 1
#   configure DIR ARGS...     configures the CMake build DIR with ARGS (cmake
#                             ARGS -B DIR) when DIR has not been configured
#                             yet or was last configured with other ARGS; a
#                             build that exists is not configured again for
#                             nothing, and new -D arguments are never ignored
# It also sources scripts/deps (ensure_deps).

. scripts/deps

die() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

configure() {
    local dir=$1
    shift
    local stamp=$dir/.mirevale-configured-with
    local wanted
    wanted=$(printf '%q ' "$@")
    if [ -f "$dir/CMakeCache.txt" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
        return 0
    fi
    cmake "$@" -B "$dir" >/dev/null || die "configuring $dir failed"
    printf '%s' "$wanted" >"$stamp"
}
