#!/usr/bin/env bash
# Speed and memory of the sounding print program on a large converted upper-air file.
#
# Writes a "ZUDUPA+" file of N stations (first argument, default 20000) with tools/gen_upa
# and measures, side by side in one run on the same warm file:
#   - the analysis of its last station (ua_parse -ba -me out4 -id <last> big.upa)
#     against `wc -l big.upa`, best of 5 each; target at most 1.5 x wc -l;
#   - every station in one run (-id all), tables to /dev/null (target 10 s for 20000
#     stations) and JSON lines (-pa json, target 5 s), one run each, on one thread per
#     processor (the default) and, for comparison, on one thread (jobs=1);
#   - the instructions of one full analysis of the sample's OAX (callgrind), with the five
#     functions that spend most of them; target below 13 M;
#   - the maximum resident memory of a one-station file, of the last station of the big
#     file, and of -id all -pa json on the one-station and on the big file
#     (/usr/bin/time -v); target under 16 MB and the same for 1 and N stations in the same
#     kind of run (within 1 MB).
# The programs measured are the default Release build (build-release/), as users build them.
# Timings on a shared machine are noisy: compare figures of one run, not across runs.
# UA_PARSE=path measures another build of the program. It also times one diagram
# (-pl skewt, PNG) of a one-station file and checks that a run without a diagram never
# loads the drawing library (LD_DEBUG=files of the dynamic loader). Exits 1 when a target
# is missed.
#
# Then the ingest program on the whole WMO TEMP feed of 06 February 2026 00Z (2270
# bulletins, tests/data/ingest): ua_ingest against `wc -l` on the same file (best
# of 5 each), targets at most 0.5 s and at most 5x wc -l, and its maximum resident
# memory on the feed and on the feed four times over (same reports: memory flat in the
# input size, within 1 MB). UA_INGEST=path measures another build.
#
# Then IGRA 2 station files: the ingest of Gagetown (tests/data/igra, gzipped) and of
# Vienna (gzipped as distributed), each into a fresh converted-data directory, against
# `gzip -dc` of the same file in the same run (best of 5 each); target: the ingest at
# least a third of gzip's speed (time at most 3x). Memory: Vienna against Vienna eight
# times over (other years), flat within 1 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
stations=${1:-20000}
runs=5
rss_limit_kb=$((16 * 1024))
rss_spread_kb=1024  # resident memory "independent of the file size": within 1 MB

need=()
[ -x /usr/bin/time ] || need+=(time)
command -v valgrind >/dev/null 2>&1 || need+=(valgrind)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

# The programs are measured as a user builds them: the default Release build, here in
# build-release/ (as .ci/run builds it); the file generator comes from build/.
if [ -z "${UA_INGEST:-}" ]; then
  ./scripts/setup.sh
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-release -j 2 --target ua_ingest >/dev/null
  UA_INGEST=$root/build-release/ua_ingest
fi
if [ -z "${UA_PARSE:-}" ]; then
  ./scripts/setup.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j 2 --target gen_upa >/dev/null
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
  if ! cmake --build build-release -j 2 --target ua_parse >/dev/null 2>&1; then
    echo "bench: the program build-release/ua_parse cannot be built in this tree" >&2
    exit 2
  fi
  UA_PARSE=$root/build-release/ua_parse
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j 2 --target gen_upa >/dev/null
fi

scratch=$(mktemp -d /tmp/zud_bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
last=$("$root/build/gen_upa" -n "$stations" -t "$root/data/sample.upa" big.upa)
"$root/build/gen_upa" -n 1 -t "$root/data/sample.upa" small.upa >/dev/null
bytes=$(stat -c %s big.upa)

# Best wall time of $runs runs, in seconds; the command's output is discarded.
best_of() {
  local best="" t0 t1 t
  for ((k = 0; k < runs; ++k)); do
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    t=$((t1 - t0))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

parse=("$UA_PARSE" -ba -me out4 -id "$last")
cat big.upa >/dev/null  # warm the page cache for both
"${parse[@]}" big.upa >analysis.txt 2>analysis.err || status=$?
status=${status:-0}
lines=$(wc -l <analysis.txt)

t_wc=$(best_of wc -l big.upa)
t_parse=$(best_of "${parse[@]}" big.upa)
ratio=$(awk -v a="$t_parse" -v b="$t_wc" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')

# Every station in one run: tables and JSON lines.
once() {  # wall time in seconds of one run, output discarded
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  awk -v ns="$((t1 - t0))" 'BEGIN { printf "%.2f", ns / 1e9 }'
}
t_all=$(once "$UA_PARSE" -ba -me out4 -id all big.upa)
t_json=$(once "$UA_PARSE" -ba -pa json -id all big.upa)
t_all1=$(once "$UA_PARSE" -ba -me out4 -pa jobs=1 -id all big.upa)
t_json1=$(once "$UA_PARSE" -ba -pa json,jobs=1 -id all big.upa)
json_lines=$("$UA_PARSE" -ba -pa json -id all big.upa 2>/dev/null | wc -l)

max_rss() {  # maximum resident set in kB of one run
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
rss_small=$(max_rss "$UA_PARSE" -ba -me out4 -id AAA small.upa)
rss_big=$(max_rss "${parse[@]}" big.upa)
rss_all=$(max_rss "$UA_PARSE" -ba -pa json -id all big.upa)
rss_all_small=$(max_rss "$UA_PARSE" -ba -pa json -id all small.upa)
rss_wc=$(max_rss wc -l big.upa)

# One full analysis of the sample's OAX, in the sample directory (its station database
# completes the location, as in the README's run).
(cd "$root/data" && valgrind --tool=callgrind --callgrind-out-file="$scratch/callgrind.out" \
  "$UA_PARSE" -ba -me out4 -id OAX sample.upa >/dev/null 2>"$scratch/callgrind.err") || true
instr=$(sed -n 's/.*Collected : //p' callgrind.err | tail -1)
top5=$(callgrind_annotate "$scratch/callgrind.out" 2>/dev/null |
  awk '/file:function/ { on = 1; getline; next } on && NF { if (++n <= 5) print }' || true)

t_diagram=$(best_of "$UA_PARSE" -ba -me out4 -id AAA -pl skewt -de p,"$scratch/d.png" small.upa)
cairo_maps=$(LD_DEBUG=files "${parse[@]}" big.upa 2>&1 >/dev/null | grep -c 'file=libcairo' || true)

echo "file: $stations stations, $bytes bytes; last station $last (status $status, $lines lines)"
printf '%-44s %10s s\n' "wc -l big.upa (best of $runs)" "$t_wc"
printf '%-44s %10s s\n' "ua_parse -ba -me out4 -id $last (best of $runs)" "$t_parse"
printf '%-44s %10s   (target <= 1.5)\n' "ratio" "$ratio"
printf '%-44s %10s s   (target <= 10)\n' "-id all, tables to /dev/null ($(nproc) threads)" "$t_all"
printf '%-44s %10s s   (target <= 5; %s lines)\n' "-id all -pa json ($(nproc) threads)" "$t_json" "$json_lines"
printf '%-44s %10s s\n' "-id all, tables, one thread (jobs=1)" "$t_all1"
printf '%-44s %10s s\n' "-id all -pa json, one thread (jobs=1)" "$t_json1"
printf '%-44s %10s kB\n' "max RSS, 1 station" "$rss_small"
printf '%-44s %10s kB\n' "max RSS, last of $stations stations" "$rss_big"
printf '%-44s %10s kB\n' "max RSS, -id all -pa json, 1 station" "$rss_all_small"
printf '%-44s %10s kB\n' "max RSS, -id all -pa json, $stations stations" "$rss_all"
printf '%-44s %10s kB\n' "max RSS, wc -l (reference)" "$rss_wc"
printf '%-44s %10s   (target < 13 M)\n' "instructions, OAX of the sample (callgrind)" "${instr:-?}"
echo "top five functions by instructions (self):"
echo "$top5" | sed 's/^/  /' | cut -c1-150
printf '%-44s %10s s\n' "ua_parse ... -pl skewt, 1 station (best of $runs)" "$t_diagram"
printf '%-44s %10s\n' "drawing library loaded by a table run" "$([ "$cairo_maps" = 0 ] && echo no || echo yes)"
if [ -n "${BENCH_KEEP:-}" ]; then
  cp "$scratch/callgrind.out" "$BENCH_KEEP"
  echo "callgrind profile kept in $BENCH_KEEP (callgrind_annotate $BENCH_KEEP)"
fi

# The ingest program on the whole feed, converted files into a scratch directory.
gzip -dc "$root/tests/data/ingest/feed_2026-02-06_00Z.rawins.gz" >feed.rawins
cat feed.rawins feed.rawins feed.rawins feed.rawins >feed4.rawins
cp "$root/data/name_conv" "$root/tests/data/ingest/igra2-station-list.txt" .
ingest=("$UA_INGEST" -fp "$scratch" -cp "$scratch/cvt" -me mess)
export zudcurtime=2026020612
cat feed.rawins >/dev/null
"${ingest[@]}" feed.rawins >ingest.txt 2>ingest.err || istatus=$?
istatus=${istatus:-0}
t_iwc=$(best_of wc -l feed.rawins)
t_ingest=$(best_of "${ingest[@]}" feed.rawins)
iratio=$(awk -v a="$t_ingest" -v b="$t_iwc" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
rss_feed=$(max_rss "${ingest[@]}" feed.rawins)
rss_feed4=$(max_rss "${ingest[@]}" feed4.rawins)
echo "feed: $(stat -c %s feed.rawins) bytes; $(tail -1 ingest.txt)"
printf '%-44s %10s s\n' "wc -l feed.rawins (best of $runs)" "$t_iwc"
printf '%-44s %10s s   (target <= 0.5)\n' "ua_ingest feed.rawins (best of $runs)" "$t_ingest"
printf '%-44s %10s   (target <= 5)\n' "ratio" "$iratio"
printf '%-44s %10s kB\n' "max RSS, feed" "$rss_feed"
printf '%-44s %10s kB\n' "max RSS, feed four times" "$rss_feed4"

# IGRA 2 station files. Each timed ingest writes into a directory of its own, as a first
# ingest does.
best_of_ingest() {  # best_of_ingest NAME FILE: best wall time of $runs fresh ingests
  local best="" t0 t1 t
  for ((k = 0; k < runs; ++k)); do
    t0=$(date +%s%N)
    "$UA_INGEST" -fp "$scratch" -cp "$scratch/igra_$1_$k" -me error "$2" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    t=$((t1 - t0))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}
cp "$root/tests/data/igra/igra2-station-list.txt" .
igra_missed=()
for f in CAM00071701-data.txt.gz AUM00011035-data.txt.gz; do
  src=$root/tests/data/igra/$f
  cat "$src" >/dev/null
  t_gz=$(best_of gzip -dc "$src")
  t_igra=$(best_of_ingest "${f%%-*}" "$src")
  n_igra=$(find "$scratch/igra_${f%%-*}_0" -type f | wc -l)
  r_igra=$(awk -v a="$t_igra" -v b="$t_gz" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-44s %10s s\n' "gzip -dc $f (best of $runs)" "$t_gz"
  printf '%-44s %10s s   (%s files)\n' "ua_ingest $f (best of $runs)" "$t_igra" "$n_igra"
  printf '%-44s %10s   (target <= 3)\n' "ratio" "$r_igra"
  if awk -v r="$r_igra" 'BEGIN { exit !(r > 3) }'; then igra_missed+=("$f"); fi
done
gzip -dc "$root/tests/data/igra/AUM00011035-data.txt.gz" >vienna.txt
for y in 2005 2006 2007 2008 2009 2010 2011 2012; do
  sed "s/^\(#AUM00011035\) 2015/\1 $y/" vienna.txt
done >vienna8.txt
rss_igra=$(max_rss "$UA_INGEST" -fp "$scratch" -cp "$scratch/igra_rss1" -me error vienna.txt)
rss_igra8=$(max_rss "$UA_INGEST" -fp "$scratch" -cp "$scratch/igra_rss8" -me error vienna8.txt)
printf '%-44s %10s kB\n' "max RSS, Vienna ($(stat -c %s vienna.txt) bytes)" "$rss_igra"
printf '%-44s %10s kB\n' "max RSS, Vienna x8 ($(stat -c %s vienna8.txt) bytes)" "$rss_igra8"

missed=0
for f in "${igra_missed[@]}"; do
  echo "MISSED: ingesting $f takes more than 3 times gzip -dc"; missed=1
done
if [ $((rss_igra8 - rss_igra)) -gt "$rss_spread_kb" ]; then
  echo "MISSED: IGRA ingest memory grows with the file ($rss_igra kB -> $rss_igra8 kB)"; missed=1
fi
if awk -v t="$t_ingest" 'BEGIN { exit !(t > 0.5) }'; then
  echo "MISSED: ingesting the feed takes more than 0.5 s"; missed=1
fi
if awk -v r="$iratio" 'BEGIN { exit !(r > 5) }'; then
  echo "MISSED: ingesting the feed takes more than 5 times wc -l"; missed=1
fi
if [ $((rss_feed4 - rss_feed)) -gt "$rss_spread_kb" ]; then
  echo "MISSED: ingest memory grows with the input ($rss_feed kB -> $rss_feed4 kB)"; missed=1
fi
if [ "$istatus" != 0 ]; then
  echo "MISSED: ingesting the feed ended with status $istatus"; missed=1
fi
if awk -v r="$ratio" 'BEGIN { exit !(r > 1.5) }'; then
  echo "MISSED: the last station takes more than 1.5 times the time of wc -l"; missed=1
fi
if awk -v t="$t_all" -v n="$stations" 'BEGIN { exit !(t > 10 * n / 20000) }'; then
  echo "MISSED: -id all with tables takes more than 10 s per 20000 stations"; missed=1
fi
if awk -v t="$t_json" -v n="$stations" 'BEGIN { exit !(t > 5 * n / 20000) }'; then
  echo "MISSED: -id all -pa json takes more than 5 s per 20000 stations"; missed=1
fi
if [ "${instr:-0}" -ge 13000000 ] 2>/dev/null; then
  echo "MISSED: one full analysis takes 13 M instructions or more"; missed=1
fi
for rss in "$rss_small" "$rss_big" "$rss_all_small" "$rss_all"; do
  if [ "$rss" -ge "$rss_limit_kb" ]; then
    echo "MISSED: maximum resident memory of 16 MB or more ($rss kB)"; missed=1
  fi
done
# The same run on 1 and on N stations: one station alone against the last of N, and
# -id all (which starts its worker threads whatever the file) on 1 and on N stations.
for pair in "$rss_small:$rss_big" "$rss_all_small:$rss_all"; do
  one=${pair%%:*} many=${pair##*:}
  if [ $((many - one)) -gt "$rss_spread_kb" ]; then
    echo "MISSED: resident memory grows with the file ($one kB -> $many kB)"; missed=1
  fi
done
if [ "$cairo_maps" != 0 ]; then
  echo "MISSED: a run without a diagram loads the drawing library"; missed=1
fi
if [ "$status" != 0 ]; then
  echo "MISSED: the analysis of $last ended with status $status"; missed=1
fi
[ "$missed" = 0 ] && echo "all targets met"
exit "$missed"
