# Shared by ./run and ./test: installs the Debian packages the build needs when
# they are missing, then configures and builds into build/ (sanitized builds
# into build-asan/ and build-tsan/).
# Sourced, not executed; expects QUARVO_ROOT to be set.

# libldap-dev, slapd, ldap-utils and openssl: the LDAP directory and its tests (the
# tests start slapd of their own on a loopback port); libcrypt-dev and
# libpam0g-dev: tree logins; libpam-wrapper: PAM logins tested without
# touching the system's accounts; acl: the tests give a replaced output an ACL;
# the history of runs: Qt's SQLite and PostgreSQL drivers, SQLite's own
# headers (rows go in through the driver's handle), and PostgreSQL for
# its tests (they start a server of their own on a socket in their folder);
# ncdu and gdu: the tests read /EXPORT= files with them.
quarvo_packages=(g++ cmake ninja-build qt6-base-dev libtomlplusplus-dev libgtest-dev libgmock-dev
    libldap-dev slapd ldap-utils openssl libcrypt-dev libpam0g-dev libpam-wrapper
    poppler-utils desktop-file-utils man-db groff-base xvfb xauth x11-utils acl
    libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql postgresql ncdu gdu qt6-charts-dev
    libtcmalloc-minimal4)

# clang, and its runtime libraries with libFuzzer: ./test --fuzz.
quarvo_fuzz_packages=(clang libclang-rt-14-dev)

# One compile job per core.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

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

# quarvo_compile <folder> [cmake --build arguments]: quiet when all is well;
# the whole log when the build fails.
quarvo_compile() {
    local build=$1
    shift
    local log="$build/last-build.log"
    if ! cmake --build "$build" "$@" >"$log" 2>&1; then
        cat "$log" >&2
        return 1
    fi
}

# quarvo_build [cmake --build arguments]: the ordinary build in build/.
quarvo_build() {
    quarvo_install_packages "${quarvo_packages[@]}" || return 1
    local build="$QUARVO_ROOT/build"
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$QUARVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2 || return 1
    fi
    quarvo_compile "$build" "$@"
}

# quarvo_sanitized_tests <sanitizers> <folder> <test folders> [ctest arguments]:
# builds the test folders with the sanitizers into the folder and runs them.
# Any sanitizer report fails the run, also one from a child process whose
# output a test keeps to itself: AddressSanitizer, LeakSanitizer and
# ThreadSanitizer write theirs to <folder>/sanitizer-reports/; this compiler's
# UndefinedBehaviorSanitizer writes only to standard error, which a forked
# child shares with its test, so the ctest log is searched for them too.
quarvo_sanitized_tests() {
    local sanitizers=$1 build="$QUARVO_ROOT/$2" folders=$3
    shift 3
    local reports="$build/sanitizer-reports"
    echo "Tests under -fsanitize=$sanitizers in ${build#"$QUARVO_ROOT"/}/" >&2
    rm -rf "$reports" && mkdir -p "$reports" || return 1
    # -O1 -g1: as fast to compile as it gets with line numbers in the reports.
    cmake -S "$QUARVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DQUARVO_SANITIZE="$sanitizers" -DQUARVO_TEST_FOLDERS="$folders" >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log" >&2; return 1; }
    # halt_on_error: the first report ends the process, so its test fails;
    # exitcode 86: never one of the program's own exit statuses.
    local common="halt_on_error=1:exitcode=86:log_path=$reports/report"
    export ASAN_OPTIONS="$common:detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="$common:print_stacktrace=1"
    export TSAN_OPTIONS="$common:second_deadlock_stack=1"
    local status=0
    quarvo_compile "$build" || status=1
    if [ "$status" -eq 0 ]; then
        (cd "$build" && ctest --output-on-failure -j2 "$@") || status=1
    fi
    if compgen -G "$reports/report*" >/dev/null; then
        echo "Sanitizer reports ($sanitizers):" >&2
        cat "$reports"/report* >&2
        status=1
    fi
    local log="$build/Testing/Temporary/LastTest.log"
    if [ -f "$log" ] && grep -q -E "runtime error:|ERROR: [A-Za-z]+Sanitizer|WARNING: ThreadSanitizer" "$log"; then
        echo "Sanitizer reports in the test output ($sanitizers):" >&2
        grep -E -A12 "runtime error:|ERROR: [A-Za-z]+Sanitizer|WARNING: ThreadSanitizer" "$log" >&2
        status=1
    fi
    return $status
}

# quarvo_fuzz <seconds>: builds the fuzz targets of tests/fuzz with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/,
# then runs each on its committed seeds (tests/fuzz/corpus/<target>/, only
# read) and fuzzes it for the given seconds, keeping what it finds in
# build-fuzz/corpus/<target>/. A crash, leak, timeout or sanitizer report
# fails the run and names the input that caused it,
# build-fuzz/crashes/<target>-<kind>-<hash>.
quarvo_fuzz() {
    local seconds=$1 build="$QUARVO_ROOT/build-fuzz"
    # libFuzzer takes 0 for no limit at all.
    if ! [[ $seconds =~ ^[0-9]+$ ]] || ((10#$seconds == 0)); then
        echo "./test --fuzz takes the seconds to fuzz each target for, a whole number above 0, not \"$seconds\"" >&2
        return 1
    fi
    quarvo_install_packages "${quarvo_packages[@]}" "${quarvo_fuzz_packages[@]}" || return 1
    mkdir -p "$build" || return 1
    # Debug: Qt's own index checks (Q_ASSERT in its headers) stay on; -O1 -g1
    # runs fast enough and still gives line numbers.
    CC=clang CXX=clang++ cmake -S "$QUARVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUARVO_SANITIZE=address,undefined -DQUARVO_FUZZ=ON \
        -DBUILD_TESTING=OFF >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log" >&2; return 1; }
    local source target targets=()
    for source in "$QUARVO_ROOT"/tests/fuzz/*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
    quarvo_compile "$build" --target "${targets[@]/#/fuzz_}" || return 1
    # The targets' temporary folders stay in here, also after a crash.
    export TMPDIR="$build/tmp"
    rm -rf "$TMPDIR" && mkdir -p "$TMPDIR" "$build/crashes" "$build/logs" || return 1
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    local status=0 log executions artifact
    for target in "${targets[@]}"; do
        log="$build/logs/$target.log"
        mkdir -p "$build/corpus/$target" || return 1
        rm -f "$build/crashes/$target"-*
        # New inputs go to the first folder only: the committed seeds are read, never written.
        (cd "$build" && "$build/tests/fuzz/fuzz_$target" "$build/corpus/$target" "$QUARVO_ROOT/tests/fuzz/corpus/$target" \
            -dict="$QUARVO_ROOT/tests/fuzz/$target.dict" -max_total_time="$seconds" -timeout=10 \
            -print_final_stats=1 -artifact_prefix="$build/crashes/$target-") >"$log" 2>&1
        local rc=$?
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        if [ "$rc" -ne 0 ] || grep -q -E "ERROR: [A-Za-z]+Sanitizer|runtime error:|ERROR: libFuzzer" "$log"; then
            status=1
            echo "FAILED  $target after ${executions:-?} executions (exit status $rc); from ${log#"$QUARVO_ROOT"/}:" >&2
            # What came after libFuzzer's last progress line: the check that
            # failed or the sanitizer's report, and the input.
            awk '/^#[0-9]+\t/ { rest = ""; next } { rest = rest $0 "\n" } END { printf "%s", rest }' "$log" >&2
            for artifact in "$build/crashes/$target"-*; do
                [ -e "$artifact" ] && echo "The input: ${artifact#"$QUARVO_ROOT"/}" >&2
            done
        else
            printf '%-16s %12s executions in %ss\n' "$target" "$executions" "$seconds" >&2
        fi
    done
    return $status
}

# quarvo_write_site <file> <tree> <server> <volume>=<folder>...: a site file
# with one inline tree (the default, with the server's object, so windows
# list it) and one server with the given volumes.
quarvo_write_site() {
    local file=$1 tree=$2 server=$3 volumes="" pair
    shift 3
    for pair in "$@"; do
        volumes+="${volumes:+, }${pair%%=*} = \"${pair#*=}\""
    done
    printf '[[tree]]\nname = "%s"\ndirectory = "inline"\ndefault = true\n[tree.objects]\n"O" = { class = "Organization" }\n"%s.O" = { class = "NCP Server" }\n[[server]]\nname = "%s"\nvolumes = { %s }\n' \
        "$tree" "$server" "$server" "$volumes" > "$file"
}
