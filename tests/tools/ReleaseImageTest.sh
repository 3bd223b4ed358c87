#!/usr/bin/env bash
# The release files carry neither the folders they were built in nor a link time, the two things
# that would make two builds of one commit differ (tools/check-reproducible.sh compares whole
# builds; this runs with every test run).
#   ReleaseImageTest.sh <source folder> <build folder> <PE file>...
set -euo pipefail
source_dir="$1" build_dir="$2"
shift 2
status=0
for file in "$@"; do
    for dir in "$source_dir" "$build_dir"; do
        if grep -a -q -F "$dir" "$file"; then
            echo "FAIL: $file names the folder $dir"
            status=1
        fi
    done
    # The COFF header's TimeDateStamp: 8 bytes after the "PE\0\0" signature at e_lfanew.
    pe="$(od -An -t u4 -j 60 -N 4 "$file" | tr -d ' ')"
    stamp="$(od -An -t u4 -j $((pe + 8)) -N 4 "$file" | tr -d ' ')"
    if [ "$stamp" != 0 ]; then
        echo "FAIL: $file has the link time $stamp in its header"
        status=1
    fi
    [ "$status" -ne 0 ] || echo "ok: $file"
done
exit $status
