#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ if needed and fuzzes one:
#   bash scripts/fuzz.sh TARGET [SECONDS]      e.g. scripts/fuzz.sh ini_reader_fuzz 600
#   bash scripts/fuzz.sh --list                the targets
# The run starts from the target's seeds in tests/fuzz/<name>/ (copied into
# build-fuzz/corpus/TARGET, which keeps what the fuzzer finds between runs)
# and fails on any crash, sanitizer report, leak, input slower than
# FUZZ_TIMEOUT seconds (default 10) or memory above FUZZ_RSS_MB (2048).
# A failing input is saved as build-fuzz/artifacts/TARGET-crash-... (or
# -leak-, -timeout-, -oom-): once the fault is fixed, add it to the seeds,
# where the plain test build replays it (ctest -L fuzz_seeds).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
dir=build-fuzz
targets() { for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done; }
if [ "${1:-}" = --list ]; then
  targets
  exit 0
fi
target="${1:?usage: fuzz.sh TARGET [SECONDS] (fuzz.sh --list names them)}"
seconds="${2:-60}"
[ -f "tests/fuzz/$target.cpp" ] || { echo "no fuzz target $target; there are:"; targets; exit 2; }

configure=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang
  -DCMAKE_CXX_COMPILER=clang++ -DDAYMARK_FUZZ=ON -DDAYMARK_BUILD_UI=OFF -DDAYMARK_BUILD_BENCH=OFF
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG")
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" "${configure[@]}" >/dev/null
fi
cmake --build "$dir" --target "$target"

seeds="tests/fuzz/${target%_fuzz}"
corpus="$dir/corpus/$target"
artifacts="$dir/artifacts"
mkdir -p "$corpus" "$artifacts"
cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true

symbolizer="$(command -v llvm-symbolizer || true)"
export ASAN_OPTIONS="detect_leaks=1${symbolizer:+:external_symbolizer_path=$symbolizer}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${symbolizer:+:external_symbolizer_path=$symbolizer}"
# The readers' own limits are far below these; the seeds are the largest
# inputs a target needs.
max_len=4096
case "$target" in
  atom_reader_fuzz | style_file_fuzz | ical_import_fuzz) max_len=8192 ;;
  event_input_fuzz | primitive_time_fuzz | entry_writer_fuzz) max_len=512 ;;
esac
echo "fuzzing $target for $seconds s (seeds: $seeds)"
# The fuzzer's running commentary goes to a log; the console gets its end
# (the whole report when it fails, the final stats when it does not).
log="$dir/logs/$target.log"
mkdir -p "$dir/logs"
status=0
"$dir/fuzz/$target" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-10}" \
  -rss_limit_mb="${FUZZ_RSS_MB:-2048}" -max_len="$max_len" -print_final_stats=1 \
  -artifact_prefix="$root/$artifacts/$target-" "$corpus" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 80 "$log"
  echo "$target FAILED (exit $status); the whole output is in $log"
  exit "$status"
fi
grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$log" || true
echo "$target: no crash, leak or timeout in $seconds s"
