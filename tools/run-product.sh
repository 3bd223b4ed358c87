#!/usr/bin/env bash
# `make run`: runs the product's own 32-bit build where this machine runs 32-bit Windows programs,
# otherwise the x86_64 build of the same sources, and says so.
set -euo pipefail
i686="${1:?usage: run-product.sh <i686 build> <x86_64 build>}"
x86_64="${2:?usage: run-product.sh <i686 build> <x86_64 build>}"
here="$(dirname "$0")"

if probe_line="$("$here/probe-arch.sh" "$i686")"; then
    echo "i686: $probe_line"
    exec "$here/run-ferrule.sh" "$i686"
fi
echo "Running the x86_64 build instead of the 32-bit product: $probe_line"
exec "$here/run-ferrule.sh" "$x86_64"
