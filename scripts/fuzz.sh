#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for the
# given number of seconds on a copy of its seed corpus, then prints the
# executions per target. Exits non-zero when a target finds a crash, a leak
# or undefined behaviour; the input is left in the run directory.
#   scripts/fuzz.sh [seconds] [target...]
# Environment: FUZZ_BUILD (default /tmp/rrz-fuzz-build), FUZZ_JOBS (build
# jobs, default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
build=${FUZZ_BUILD:-/tmp/rrz-fuzz-build}
"$root/scripts/install-deps.sh"
mkdir -p "$build"
# clang's -Wall holds more than gcc's (-Woverloaded-virtual flags the IPC
# adapter's deliberately narrower request overloads), so warnings are shown
# here but do not stop the fuzz build; the gcc builds keep -Werror.
cmake -S "$root" -B "$build" -DRRZ_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRRZ_WERROR=OFF > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# Leak checking stays on (libFuzzer's default with ASan); halt on the first
# UBSan report rather than printing it and going on.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
summary=()
for target in "${targets[@]}"; do
  run=$(mktemp -d "/tmp/rrz-fuzz-$target-XXXXXX")
  cp -r "$root/fuzz/corpus/$target" "$run/corpus"
  log="$run/log"
  if (cd "$run" && "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 \
        -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 corpus > "$log" 2>&1); then
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    summary+=("$target: ${execs:-?} executions, no findings")
    rm -rf "$run"
  else
    status=1
    summary+=("$target: FAILED, see $log")
    tail -60 "$log"
  fi
done
printf '%s\n' "${summary[@]}"
exit $status
