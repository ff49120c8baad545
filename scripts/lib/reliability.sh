# shellcheck shell=bash
# The settings fuzzer and the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
# Sourced by scripts/test and scripts/fuzz. Each run_* function prints its figures, then one
# line "PASS name" or "FAIL name: ...", and returns non-zero on failure.

RELIABILITY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RELIABILITY_LOGS=${RELIABILITY_LOGS:-$RELIABILITY_ROOT/build/test-logs}
# shellcheck source=build.sh
source "$RELIABILITY_ROOT/scripts/lib/build.sh"
FUZZ_BUILD="$RELIABILITY_ROOT/build/fuzz"
FUZZ_BINARY="$FUZZ_BUILD/tests/fuzz/settings_fuzz"

# Preset fuzz: clang 14 with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
build_settings_fuzzer() {
    tabrin_ensure_deps && tabrin_build fuzz settings_fuzz
}

# Figures of one libFuzzer run from its -print_final_stats output.
fuzz_stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n1; }

# Runs the built fuzzer for `seconds` on a throw-away copy of the seed corpus: nine tenths with
# inputs up to 4 KiB, grown gradually, the rest up to 64 KiB at once so that very long files get
# their turn too. A failing input is kept in build/fuzz/artifacts/.
run_settings_fuzzer() (
    local seconds=${1:-60} work status=0 total=0 phase max_len phase_seconds len_control log execs long short
    work=$(mktemp -d "${TMPDIR:-/tmp}/tabrin-fuzz.XXXXXX") || exit 1
    trap 'rm -rf "$work"' EXIT
    cp "$RELIABILITY_ROOT"/tests/fuzz/corpus/* "$work/"
    mkdir -p "$FUZZ_BUILD/artifacts"
    long=$((seconds / 10))
    [ "$long" -lt 1 ] && long=1
    short=$((seconds - long))
    [ "$short" -lt 1 ] && short=1
    for phase in "4096 $short 100" "65536 $long 0"; do
        read -r max_len phase_seconds len_control <<<"$phase"
        log="$FUZZ_BUILD/fuzz-max$max_len.log"
        echo "fuzz: ${phase_seconds}s with inputs up to $max_len bytes (log: ${log#"$RELIABILITY_ROOT"/})"
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            timeout --kill-after=10 $((phase_seconds + 120)) \
            "$FUZZ_BINARY" -max_total_time="$phase_seconds" -max_len="$max_len" -len_control="$len_control" \
            -timeout=10 -rss_limit_mb=2048 \
            -dict="$RELIABILITY_ROOT/tests/fuzz/settings.dict" -print_final_stats=1 \
            -artifact_prefix="$FUZZ_BUILD/artifacts/" "$work" >"$log" 2>&1
        status=$?
        if [ "$status" != 0 ]; then
            grep -E 'settings fuzz:|  <--|ERROR: |runtime error|SUMMARY|Test unit written' "$log" | head -n 20
            echo "fuzz: stopped with status $status (log: $log)"
            exit "$status"
        fi
        execs=$(fuzz_stat number_of_executed_units "$log")
        total=$((total + ${execs:-0}))
    done
    echo "fuzz: $total executions in ${seconds}s ($((total / seconds)) exec/s)," \
        "corpus grew from $(find "$RELIABILITY_ROOT/tests/fuzz/corpus" -type f | wc -l)" \
        "to $(find "$work" -type f | wc -l) inputs"
)

run_fuzz_bounded() {
    mkdir -p "$RELIABILITY_LOGS"
    if ! build_settings_fuzzer >"$RELIABILITY_LOGS/fuzz-build.log" 2>&1; then
        tail -n 20 "$RELIABILITY_LOGS/fuzz-build.log" | sed 's/^/    /'
        echo "FAIL fuzz.settings: expected the fuzzer to build, saw errors (build/test-logs/fuzz-build.log)"
        return 1
    fi
    if run_settings_fuzzer 30; then
        echo "PASS fuzz.settings"
        return 0
    fi
    echo "FAIL fuzz.settings: expected no crash, hang, leak or mismatch, saw one (input kept in build/fuzz/artifacts/)"
    return 1
}

run_sanitized_unit_tests() {
    mkdir -p "$RELIABILITY_LOGS"
    local log="$RELIABILITY_LOGS/asan" summary
    if ! tabrin_build host-asan >"$log-build.log" 2>&1; then
        tail -n 20 "$log-build.log" | sed 's/^/    /'
        echo "FAIL unit.sanitized: expected the sanitized build to succeed, saw errors (build/test-logs/asan-*.log)"
        return 1
    fi
    (cd "$RELIABILITY_ROOT" && ctest --preset host-asan) >"$log-ctest.log" 2>&1
    local status=$?
    summary=$(grep -E '[0-9]+% tests passed' "$log-ctest.log" | tail -n1)
    echo "sanitized unit tests: ${summary:-no ctest summary}"
    # Every report ends its test process with a failure: UBSan through -fno-sanitize-recover,
    # ASan and LeakSanitizer by default.
    if [ "$status" = 0 ]; then
        echo "PASS unit.sanitized"
        return 0
    fi
    local report
    report=$(grep -m1 -E 'runtime error:|ERROR: (Address|Leak)Sanitizer' "$log-ctest.log")
    report=${report#"$RELIABILITY_ROOT"/}
    grep -E '\*\*\*(Failed|Exception)|runtime error:|ERROR: (Address|Leak)Sanitizer|^ +#[0-3] ' \
        "$log-ctest.log" | head -n 30 | sed 's/^/    /'
    echo "FAIL unit.sanitized: expected every test to pass with no report, saw ${report:+a report: }${report:-a failing test} (build/test-logs/asan-ctest.log)"
    return 1
}
