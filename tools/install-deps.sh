#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing.
# wine32 comes from the i386 architecture, which is added (once) when it is missing.
set -euo pipefail

packages=(
    cmake make g++ googletest ccache
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    mingw-w64-i686-dev mingw-w64-x86-64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 wine32:i386 xvfb xauth imagemagick
    gettext # msgfmt checks the .po files of the translator's tool
    clang-16 libclang-rt-16-dev # libFuzzer and its sanitizers for `make fuzz`
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for wine32)"
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
