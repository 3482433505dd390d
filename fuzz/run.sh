#!/usr/bin/env bash
# Runs the libFuzzer programs of the fuzz preset one after the other and prints, per target, the
# executions, executions per second and final coverage (libFuzzer's cov: and ft:).
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_TARGETS   the targets to run (default all)
#   FUZZ_ARGS      more libFuzzer options, e.g. "-runs=2000000" to stop at a count
# New inputs go to build/fuzz/fuzz-work/<target> (the committed corpus is only read); a failing
# input is written to build/fuzz/fuzz-artifacts/. Exit status 1 when any target found a fault.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-60}"
targets="${FUZZ_TARGETS:-json yaml msgpack format routes flat request}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/fuzz/ubsan.supp"

failed=0
rows=()
for target in $targets; do
  program="$build/fuzz/${target}_fuzz"
  [[ -x "$program" ]] || { echo "fuzz: $program is not built (cmake --build --preset fuzz)" >&2; exit 2; }
  work="$build/fuzz-work/$target"
  log="$build/fuzz-work/$target.log"
  mkdir -p "$work" "$build/fuzz-artifacts"
  dictionary=()
  [[ -f "$root/fuzz/$target.dict" ]] && dictionary=("-dict=$root/fuzz/$target.dict")
  echo "fuzz: $target for ${seconds} s"
  # shellcheck disable=SC2086
  "$program" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$target-" "${dictionary[@]}" ${FUZZ_ARGS:-} \
    "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1
  status=$?
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  coverage="$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)"
  outcome="ok"
  if [[ $status -ne 0 ]]; then
    failed=1
    outcome="FAILED (exit $status, log $log)"
    grep -E "Fuzz property failed|^  input|^  [^ ]|ERROR:|SUMMARY:|runtime error|Test unit written" "$log" | head -20
  fi
  rows+=("$(printf '%-8s %12s %8s   %-22s %s' "$target" "${execs:-?}" "${rate:-?}" "${coverage:-?}" "$outcome")")
done

printf '\n%-8s %12s %8s   %-22s %s\n' target execs exec/s coverage outcome
printf '%s\n' "${rows[@]}"
exit $failed
