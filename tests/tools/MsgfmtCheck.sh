#!/usr/bin/env bash
# msgfmt, with its checks (-c), must accept every .po file the translator's tool
# exported in a folder; fewer files than expected mean the exporting test did not run through.
set -uo pipefail
folder="${1:?usage: MsgfmtCheck.sh <folder> <least number of files>}"
least="${2:?usage: MsgfmtCheck.sh <folder> <least number of files>}"
shopt -s nullglob
files=("$folder"/*.po)
if [ "${#files[@]}" -lt "$least" ]; then
    echo "expected at least $least .po files in $folder, found ${#files[@]}"
    exit 1
fi
status=0
for file in "${files[@]}"; do
    if msgfmt -c -o /dev/null "$file"; then
        echo "msgfmt -c accepts $file"
    else
        echo "msgfmt -c refuses $file"
        status=1
    fi
done
exit $status
