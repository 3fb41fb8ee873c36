#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan) in build-fuzz/ and runs
# each for N seconds (first argument, default 30) on a scratch copy of its seed corpus
# from tests/fuzz/corpus/<target>, two targets at a time. Further arguments name the
# targets to run (default: all). Fails on any finding: a crash, a sanitizer report, a
# leak, a time-out, a broken check, or an input that reaches ZUD_exit. The inputs that
# caused findings are kept in the scratch directory the script prints. With
# FUZZ_KEEP_GOING=1 a target goes on after a finding (libFuzzer's fork mode), so that one
# known finding does not hide the others; the run still fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
secs=${1:-30}
shift || true

./scripts/setup.sh
if ! command -v clang++ >/dev/null 2>&1 || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq clang libclang-rt-14-dev
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DZUD_FUZZ=ON -DZUD_WERROR=ON -DZUD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j 2 >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in tests/fuzz/fuzz_*.cpp; do
    t=$(basename "$src" .cpp)
    [ "$t" = fuzz_support ] || targets+=("$t")
  done
fi

scratch=$(mktemp -d /tmp/zud_fuzz_run.XXXXXX)
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# Runs one target in its own scratch directory; the fuzzer's exit status is kept in rc.
run_one() {
  local t=$1 dir=$scratch/$1
  mkdir -p "$dir/corpus" "$dir/findings"
  cp -r "tests/fuzz/corpus/$t/." "$dir/corpus/"
  local rc=0 more=()
  if [ -n "${FUZZ_KEEP_GOING:-}" ]; then
    more=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  (cd "$dir" && nice -n 10 "$root/build-fuzz/tests/fuzz/$t" -max_total_time="$secs" \
     -timeout=10 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix=findings/ \
     "${more[@]}" corpus >log 2>&1) || rc=$?
  echo "$rc" >"$dir/rc"
}

# Two targets at a time: the machine's two cores are shared.
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run_one "${targets[i]}" &
  if [ $((i + 1)) -lt ${#targets[@]} ]; then run_one "${targets[i + 1]}" & fi
  wait
done

failed=0
printf '%-18s %12s %8s %8s %s\n' target executions cov corpus result
for t in "${targets[@]}"; do
  dir=$scratch/$t
  rc=$(cat "$dir/rc")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  # Fork mode reports its total on its own status lines ("#N: cov: ...").
  [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$dir/log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2)
  files=$(find "$dir/corpus" -type f | wc -l)
  found=$(find "$dir/findings" -type f | wc -l)
  result=ok
  if [ "$rc" != 0 ] || [ "$found" != 0 ]; then
    result="FINDING (status $rc, $found input(s) in $dir/findings, log $dir/log)"
    failed=1
  fi
  printf '%-18s %12s %8s %8s %s\n' "$t" "${execs:-?}" "${cov:-?}" "$files" "$result"
done

if [ "$failed" != 0 ]; then
  echo "fuzz: findings kept in $scratch" >&2
  exit 1
fi
rm -rf "$scratch"
