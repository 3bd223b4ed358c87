#!/usr/bin/env bash
# Runs a command with an X display: the caller's own when there is one, else a private Xvfb
# server that lives exactly as long as the command.
set -euo pipefail

if [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi

number=99
while [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ]; do
    number=$((number + 1))
done
Xvfb ":${number}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${number}" ] && break
    sleep 0.1
done
export DISPLAY=":${number}"
"$@"
