#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing.
# wine32 comes from the i386 architecture, which is added (once) when it is missing.
set -euo pipefail

packages=(
    cmake make g++ googletest ccache
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    mingw-w64-i686-dev mingw-w64-x86-64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth imagemagick
    gettext # msgfmt checks the .po files of the translator's tool
    clang-16 libclang-rt-16-dev # libFuzzer and its sanitizers for `make fuzz`
)

# Wine's 32-bit loader runs the suite on i686, the product's architecture. Without it the suite
# still runs on x86_64 and the i686 run is reported as skipped, with the reason; so a mirror that
# cannot serve it today (its i386 indexes caught mid-sync) does not stop the build.
i386_packages=(wine32:i386)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for wine32)"
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

missing_of() {
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$p"
        fi
    done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_i386 < <(missing_of "${i386_packages[@]}")

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_i386[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]} ${missing_i386[*]}"
# A mirror caught mid-sync fails one index now and then; a retry usually finds it whole. If it
# still fails, the install goes on with the indexes that did load and fails on its own if a
# package is really missing.
for attempt in 1 2 3; do
    if "${sudo_cmd[@]}" apt-get update -q; then
        break
    fi
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" -lt 3 ] && sleep 20
done
apt_install() {
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "$@"
}
if [ ${#missing[@]} -gt 0 ]; then
    apt_install "${missing[@]}"
fi
if [ ${#missing_i386[@]} -gt 0 ] && ! apt_install "${missing_i386[@]}"; then
    echo "install-deps: could not install ${missing_i386[*]}; the i686 run of the suite will be skipped" >&2
fi
