#!/usr/bin/env bash
# Builds the product twice from one commit, in two fresh folders of different names, the second
# started later and in another time zone, and compares Ferrule.exe and its payload dao360.dll byte
# for byte. Prints the SHA-256 of each file of each build; on a difference, the first differing
# offset and the PE section (or header) that holds it. Exits 0 only when both files are identical.
#
#   tools/check-reproducible.sh [COMMIT]      (default HEAD; JOBS=N for parallel compiles)
#
# The compiler cache is switched off: a hit would hand the second build the first one's objects
# and hide any path or time that leaks into them.
set -euo pipefail
repo="$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)"
commit="${1:-HEAD}"
jobs="${JOBS:-2}"
revision="$(git -C "$repo" rev-parse --verify "$commit^{commit}")"
work="$(mktemp -d "${TMPDIR:-/tmp}/ferrule-reproducible.XXXXXX")"
objdump=i686-w64-mingw32-objdump

# The folder of one build: the sources of the commit, the build tree beside them.
build_once() {
    local name="$1" zone="$2"
    local source="$work/$name/src" tree="$work/$name/tree"
    mkdir -p "$source"
    git -C "$repo" archive "$revision" | tar -x -C "$source"
    echo "=== build '$name' in $work/$name (TZ=$zone, $(date -u +%H:%M:%S) UTC)"
    (
        export TZ="$zone" CCACHE_DISABLE=1
        cmake -S "$source" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRULE_BUILD_TESTS=OFF \
            -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-i686.cmake" -DFERRULE_HOST_DIR="$tree/host" \
            >"$work/$name.log" 2>&1
        cmake --build "$tree" -j"$jobs" --target Ferrule >>"$work/$name.log" 2>&1
    ) || {
        echo "build '$name' failed; its log: $work/$name.log" >&2
        tail -20 "$work/$name.log" >&2
        exit 2
    }
}

# Where a file offset lies: the PE section whose raw data holds it, else the headers.
section_of() {
    local file="$1" offset="$2"
    "$objdump" -h "$file" | awk -v at="$offset" '
        $1 ~ /^[0-9]+$/ && NF >= 7 {
            size = strtonum("0x" $3); start = strtonum("0x" $6)
            if (at >= start && at < start + size) { print "section " $2; found = 1; exit }
            if (first == "" || start < first) first = start
        }
        END { if (!found) print (first != "" && at < first) ? "headers" : "outside every section" }'
}

# tree-relative paths of the release files
files=(app/Ferrule.exe payload/dao360.dll)

build_once first UTC
# Another minute on the clock at least, so a time stamp anywhere would differ.
sleep "${REPRODUCIBLE_DELAY:-61}"
build_once second-build-later Pacific/Kiritimati

status=0
for file in "${files[@]}"; do
    a="$work/first/tree/$file"
    b="$work/second-build-later/tree/$file"
    echo "--- $file"
    sha256sum "$a" "$b" | sed "s|$work/||"
    if cmp -s "$a" "$b"; then
        echo "identical ($(stat -c %s "$a") bytes)"
    else
        status=1
        first="$(cmp "$a" "$b" | head -1 | sed -E 's/.* byte ([0-9]+).*/\1/')"
        offset=$((first - 1))
        printf 'DIFFERENT: first difference at offset %d (0x%x), in %s; %d bytes differ\n' "$offset" "$offset" \
            "$(section_of "$a" "$offset")" "$(cmp -l "$a" "$b" 2>/dev/null | wc -l)"
    fi
done

if [ "$status" -eq 0 ]; then
    rm -rf "$work"
    echo "reproducible: both builds gave identical files"
else
    echo "NOT reproducible; the builds stay in $work for inspection"
fi
exit $status
