#!/usr/bin/env bash
# scripts/test must fail when any phase fails, wherever it runs (in front or behind the others), or
# when the ThreadSanitizer run holds none of the races of ours it must report, and pass when all do.
# It is run here on stand-ins of cmake, ctest and the fuzz script that fail on demand, so that it
# takes a moment rather than the whole build.
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/repo/scripts" "$work/bin"
cp "$script" "$work/repo/scripts/test"
printf '#!/bin/sh\nexit 0\n' > "$work/repo/scripts/setup"
printf '#!/bin/sh\necho "== fuzzing"\nexit "${FAIL_FUZZ:-0}"\n' > "$work/repo/scripts/fuzz"
cat > "$work/bin/cmake" <<'STANDIN'
#!/bin/sh
# cmake --build --preset NAME ... fails for the preset named by FAIL_BUILD
[ "$1" = "--build" ] && [ "$3" = "${FAIL_BUILD:-}" ] && { echo "build $3 failed"; exit 1; }
exit 0
STANDIN
cat > "$work/bin/ctest" <<'STANDIN'
#!/bin/sh
# ctest --preset NAME ... fails for the preset named by FAIL_TESTS
[ "$2" = "${FAIL_TESTS:-}" ] && { echo "tests of $2 failed"; exit 8; }
[ "$2" = tsan ] && [ -z "${NO_CANARY:-}" ] &&
    echo "1/3 Test #1: ThreadSanitizer.ReportsARaceOfOursInOurOwnThreads ...   Passed    0.10 sec"
echo "100% tests passed, 0 tests failed out of 3"
STANDIN
chmod +x "$work"/bin/* "$work"/repo/scripts/*

failures=0
expect() { # expected-outcome env-assignment...
    local want=$1 status=0
    shift
    env PATH="$work/bin:$PATH" "$@" bash "$work/repo/scripts/test" > "$work/out" 2>&1 || status=$?
    if { [ "$want" = pass ] && [ "$status" -ne 0 ]; } || { [ "$want" = fail ] && [ "$status" -eq 0 ]; }; then
        echo "FAILED: with ${*:-nothing failing} the run should $want; it ended with status $status:"
        cat "$work/out"
        failures=$((failures + 1))
    fi
}
expect pass
grep -q "tests: 9 passed" "$work/out" || { echo "FAILED: the passed tests are not counted"; failures=$((failures + 1)); }
for preset in default asan tsan; do expect fail FAIL_TESTS=$preset; done
for preset in default asan tsan fuzz; do expect fail FAIL_BUILD=$preset; done
expect fail FAIL_FUZZ=1
expect fail NO_CANARY=1
[ "$failures" -eq 0 ] && echo "every failing phase fails the run"
exit "$failures"
