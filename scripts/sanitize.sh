#!/usr/bin/env bash
# Builds and runs tests under the sanitizers, each kind in its own build
# folder beside build/:
#   bash scripts/sanitize.sh address [ctest args...]
#       AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer on):
#       the whole suite in build-asan/ (benchmarks off, user interface on).
#   bash scripts/sanitize.sh thread [ctest args...]
#       ThreadSanitizer: the tests of the manager's worker thread, the
#       recurrence cache and the maintenance log, in build-tsan/.
# Any report stops the program with an error, so the test fails. Reports
# about system libraries are suppressed by tests/sanitizers/*.supp (each
# entry says why). Uses ccache when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
kind="${1:?usage: sanitize.sh address|thread [ctest args...]}"
shift

# The tests the thread check runs: everything that drives the manager's
# worker thread, the recurrence cache shared by threads, and the log.
thread_tests=(calendar_manager_test recurring_sync_test caldav_test recurrence_test
  maintenance_log_test)

configure=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYMARK_BUILD_BENCH=OFF
  # Quicker to build than -O2 -g and enough for the reports' stack traces.
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
symbolizer="$(command -v llvm-symbolizer || true)"

case "$kind" in
  address)
    dir=build-asan
    cmake -S . -B "$dir" "${configure[@]}" -DDAYMARK_SANITIZE=address,undefined \
      -DDAYMARK_BUILD_UI=ON >/dev/null
    cmake --build "$dir"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0${symbolizer:+:external_symbolizer_path=$symbolizer}"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${symbolizer:+:external_symbolizer_path=$symbolizer}"
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
    # Installing the package is checked by the plain build (scripts/test.sh).
    set -- -E '^package_install$' "$@"
    ;;
  thread)
    dir=build-tsan
    cmake -S . -B "$dir" "${configure[@]}" -DDAYMARK_SANITIZE=thread -DDAYMARK_BUILD_UI=OFF \
      >/dev/null
    cmake --build "$dir" --target "${thread_tests[@]}"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/sanitizers/tsan.supp${symbolizer:+:external_symbolizer_path=$symbolizer}"
    # Each test program labels its cases with its own name.
    set -- -L "^($(IFS='|'; echo "${thread_tests[*]}"))\$" "$@"
    ;;
  *)
    echo "unknown sanitizer kind: $kind (address or thread)" >&2
    exit 2
    ;;
esac

cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
