# Shared by ./run and ./test: installs the Debian packages the build needs when
# they are missing, then configures and builds into build/.
# Sourced, not executed; expects QUARVO_ROOT to be set.

quarvo_packages=(g++ cmake ninja-build qt6-base-dev libtomlplusplus-dev libgtest-dev libgmock-dev)

quarvo_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

quarvo_install_packages() {
    local missing
    missing=$(quarvo_missing_packages "$@")
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
            echo "Installing as root through sudo:" $missing >&2
        else
            echo "These Debian packages are missing and I am neither root nor able to use sudo:" $missing >&2
            echo "Install them as root (apt-get install -y $missing), then run this again." >&2
            return 1
        fi
    fi
    echo "Installing:" $missing >&2
    $sudo apt-get update -qq >&2 || return 1
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >&2 || return 1
}

quarvo_build() {
    quarvo_install_packages "${quarvo_packages[@]}" || return 1
    local build="$QUARVO_ROOT/build"
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$QUARVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2 || return 1
    fi
    # Quiet when all is well; the whole log when the build fails.
    local log="$build/last-build.log"
    if ! cmake --build "$build" "$@" >"$log" 2>&1; then
        cat "$log" >&2
        return 1
    fi
}
