#!/usr/bin/env bash
# Reproducer: the sounding print program waits for ever on a named pipe whose writer sent
# one valid file and closed. Kind detection opens and reads the pipe, then the open for
# reading opens it a second time, which blocks until another writer comes.
# Usage: tests/fuzz/findings/ua_read_named_pipe.sh [path of ua_parse]
# Exit status 124 (killed after 5 s) shows the fault; 0 or 31 means it is mended.
set -u
bin=$(realpath "${1:-$(dirname "$0")/../../../build/ua_parse}")
sample=$(realpath "$(dirname "$0")/../../../data/sample.upa")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkfifo "$dir/pipe.upa"
cat "$sample" >"$dir/pipe.upa" &   # one writer: sends the file once, then closes
(cd "$dir" && timeout 5 "$bin" -ba -id OAX pipe.upa >/dev/null 2>&1)
status=$?
kill %1 2>/dev/null
echo "status $status"
exit "$status"
