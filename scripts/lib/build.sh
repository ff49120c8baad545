# shellcheck shell=bash
# The scripts' one build recipe: a preset of CMakePresets.json configured and built. Sourced by
# scripts/test, run, bench, screenshot, package and fuzz (through reliability.sh), with what
# they all need beside it: the packages (deps.sh) and the Wine desktop (wine-env.sh).

BUILD_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=deps.sh
source "$BUILD_ROOT/scripts/lib/deps.sh"
# shellcheck source=wine-env.sh
source "$BUILD_ROOT/scripts/lib/wine-env.sh"

# tabrin_build PRESET [--fresh] [--dir DIR] [TARGET...]
# Configures PRESET into build/PRESET (or DIR), every time, so that an edited preset or
# CMakeLists is taken up, then builds the TARGETs (every target without one) with two jobs.
# --fresh starts from a new cache: a cache keeps the flags of the toolchain file it first saw.
# Returns 2 when the configure fails, 1 when the build does.
tabrin_build() {
    local preset=$1 dir="" fresh=() targets=()
    shift
    while [ $# -gt 0 ]; do
        case $1 in
            --fresh) fresh=(--fresh) ;;
            --dir) dir=$2; shift ;;
            *) targets+=(--target "$1") ;;
        esac
        shift
    done
    dir=${dir:-$BUILD_ROOT/build/$preset}
    (cd "$BUILD_ROOT" && cmake --preset "$preset" -B "$dir" "${fresh[@]}") || return 2
    cmake --build "$dir" -j2 "${targets[@]}" || return 1
}

# Installs what is missing, builds the tabrin.exe this machine's Wine runs (the 32-bit one, or
# its 64-bit copy where Wine runs only 64-bit programs) and prints the preset it is in.
tabrin_build_for_wine() {
    local preset
    preset=$(wine_env_preset)
    tabrin_ensure_deps && tabrin_build "$preset" tabrin >/dev/null && echo "$preset"
}
