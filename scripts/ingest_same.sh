#!/usr/bin/env bash
# Runs two builds of ua_ingest on the same inputs and compares everything they leave:
# standard output, standard error, exit status, every converted file and upa.cty.
#   scripts/ingest_same.sh REF_BINARY NEW_BINARY
# Inputs: the WMO TEMP feed (at -me mess and -me debug, once and four times over), every
# fixture of tests/data/ingest and tests/data/igra alone and all together, two ingests
# one after the other into the same directory, and slices of the feed with bytes
# overwritten at random (a fixed seed, so a failure can be run again). Exits 1 on the
# first difference, naming the case.
set -euo pipefail
ref=$(realpath "$1")
new=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/ingest_same.XXXXXX)
trap 'rm -rf "$work"' EXIT
export zudcurtime=2026020612
gzip -dc "$root/tests/data/ingest/feed_2026-02-06_00Z.rawins.gz" >"$work/feed.rawins"
cat "$work/feed.rawins" "$work/feed.rawins" "$work/feed.rawins" "$work/feed.rawins" >"$work/feed4.rawins"

# run_case NAME LIST_DIR STEPS...: LIST_DIR holds the station list ("none": no list); each step is "options|file file ..." run in order in
# one directory, by each build; the directories must come out the same.
run_case() {
  local name=$1 list=$2
  shift 2
  local which
  for which in ref new; do
    local bin dir
    bin=$([ "$which" = ref ] && echo "$ref" || echo "$new")
    dir=$work/run  # one path for both builds: messages name it
    rm -rf "$dir" "$work/$which"
    mkdir -p "$dir"
    cp "$root/data/name_conv" "$dir/"
    [ "$list" = none ] || cp "$list/igra2-station-list.txt" "$dir/"
    local k=0 step
    for step in "$@"; do
      local opts=${step%%|*} files=${step#*|}
      # The files may end in "<file": standard input.
      (cd "$work" && eval "\"\$bin\" -fp \"\$dir\" -cp \"\$dir/cvt\" $opts $files" >"$dir/out.$k" 2>"$dir/err.$k") &&
        echo 0 >"$dir/rc.$k" || echo $? >"$dir/rc.$k"
      k=$((k + 1))
    done
    mv "$dir" "$work/$which"
  done
  if ! diff -r "$work/ref" "$work/new" >"$work/diff.txt"; then
    echo "DIFFERENT: $name"
    head -20 "$work/diff.txt"
    exit 1
  fi
  echo "same: $name ($(cat "$work/ref/rc.0"), $(find "$work/ref/cvt" -type f 2>/dev/null | wc -l) files)"
}

ing=$root/tests/data/ingest
igra=$root/tests/data/igra
run_case "feed, -me mess" "$ing" "-me mess|feed.rawins"
run_case "feed, -me debug" "$ing" "-me debug|feed.rawins"
run_case "feed four times" "$ing" "-me mess|feed4.rawins"
run_case "feed twice into one directory" "$ing" "-me mess|feed.rawins" "-me mess|feed.rawins"
run_case "feed from standard input" "$ing" "-me mess|- <feed.rawins"
run_case "feed without a station list" none "-me mess|feed.rawins"
# each_fixture DIR NAME: every fixture of DIR alone, then all together; their names
# into the array NAME.
each_fixture() {
  local dir=$1 f
  local -n names=$2
  names=()
  for f in "$dir"/*; do
    case $f in *igra2-station-list.txt) continue ;; esac
    names+=("$f")
    run_case "$(basename "$f")" "$dir" "-me debug|$f"
  done
  run_case "every fixture of $(basename "$dir") together" "$dir" "-me debug|${names[*]}"
}
each_fixture "$ing" all_ing
each_fixture "$igra" all_igra
run_case "two steps: station sets, then the feed" "$ing" "-me mess|${all_ing[*]:0:6}" "-me mess|feed.rawins"
run_case "two steps: feed, then a correction set" "$ing" "-me debug|feed.rawins" "-me debug|${all_ing[3]}"

# Standard output and standard error into one file: the order of the two streams.
for level in mess debug; do
  for which in ref new; do
    bin=$([ "$which" = ref ] && echo "$ref" || echo "$new")
    rm -rf "$work/run" && mkdir -p "$work/run"
    cp "$root/data/name_conv" "$ing/igra2-station-list.txt" "$work/run/"
    (cd "$work" && "$bin" -fp "$work/run" -cp "$work/run/cvt" -me "$level" feed.rawins \
      >"$work/both.$which" 2>&1) || true
  done
  if ! cmp -s "$work/both.ref" "$work/both.new"; then
    echo "DIFFERENT: feed, -me $level, both streams into one file"
    exit 1
  fi
  echo "same: feed, -me $level, both streams into one file"
done

# Slices of the feed with bytes overwritten at random places.
size=$(stat -c %s "$work/feed.rawins")
RANDOM=16
for k in 1 2 3 4 5 6 7 8; do
  from=$(( (RANDOM * 32768 + RANDOM) % size ))
  len=$(( 200000 + (RANDOM * 32768 + RANDOM) % 1800000 ))
  dd if="$work/feed.rawins" of="$work/slice.rawins" iflag=skip_bytes,count_bytes skip="$from" \
    count="$len" status=none
  slen=$(stat -c %s "$work/slice.rawins")
  for ((j = 0; j < 40; ++j)); do
    at=$(( (RANDOM * 32768 + RANDOM) % slen ))
    byte=$((RANDOM % 256))
    # Every fourth byte a bulletin bound (SOH, ETX), every fourth an "=": the scanner's
    # own boundaries in odd places.
    case $((j % 4)) in 0) byte=$((1 + 2 * (RANDOM % 2))) ;; 1) byte=61 ;; esac
    printf '%b' "$(printf '\\%03o' "$byte")" |
      dd of="$work/slice.rawins" bs=1 seek="$at" conv=notrunc status=none
  done
  run_case "corrupted slice $k ($slen bytes from $from)" "$ing" "-me debug|slice.rawins"
done
echo "all cases the same"
