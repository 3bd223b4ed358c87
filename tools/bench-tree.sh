# Sourced by the benchmark scripts: sets `tree` to the i686 tree where this machine runs 32-bit
# programs, else to the x86-64 tree (saying why). Both trees must be configured.
bench_tree() {
    local i686="$1" x86_64="$2" reason
    cmake --build "$i686" --target ArchProbe >/dev/null
    if reason="$(tools/probe-arch.sh "$i686")"; then
        tree="$i686"
    else
        echo "bench: i686 programs do not run here ($reason); measuring the x86-64 build"
        tree="$x86_64"
    fi
}
