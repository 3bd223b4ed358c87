#!/usr/bin/env bash
# Runs the data set benchmark, optimised, under Wine in the i686 tree where this machine runs
# 32-bit programs, else in the x86-64 tree. Both trees must be configured.
set -euo pipefail
i686="${1:?usage: bench-datasets.sh <i686 tree> <x86_64 tree>}"
x86_64="${2:?usage: bench-datasets.sh <i686 tree> <x86_64 tree>}"
cd "$(dirname "$0")/.."

source tools/bench-tree.sh
bench_tree "$i686" "$x86_64"
cmake --build "$tree" -j"$(nproc)" --target DataSetBench
source "$tree/wine/wine-env.sh"
"$tree/wine/prefix-start.sh"
trap '"$tree/wine/prefix-stop.sh"' EXIT
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
"$FERRULE_WINE" "$tree/tools/bench/DataSetBench.exe"
