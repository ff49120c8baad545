# The one place that installs packages: the build and test tools, when something is missing
# (Debian 12, as root). Sourced through build.sh; a second run with everything present only
# costs a few `command -v` and `dpkg -s` calls.

TABRIN_PACKAGES=(cmake make g++ libgtest-dev googletest g++-mingw-w64-i686-posix
    binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xdotool imagemagick python3
    clang-14 clang-tools-14 lld-14 llvm-14 libc++-14-dev libwine-dev libclang-rt-14-dev)

tabrin_missing_deps() {
    local missing=()
    command -v cmake >/dev/null || missing+=(cmake)
    command -v make >/dev/null || missing+=(make)
    command -v g++ >/dev/null || missing+=(g++)
    dpkg -s libgtest-dev >/dev/null 2>&1 || missing+=(libgtest-dev googletest)
    command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686-posix)
    command -v i686-w64-mingw32-objdump >/dev/null || missing+=(binutils-mingw-w64-i686)
    # 64-bit copies for the end-to-end cases where the kernel cannot run 32-bit programs.
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
    command -v x86_64-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-x86-64)
    command -v wine >/dev/null || missing+=(wine wine64)
    # Without wine32 32-bit programs do not start at all.
    dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
    command -v Xvfb >/dev/null || missing+=(xvfb)
    command -v xdotool >/dev/null || missing+=(xdotool)
    command -v import >/dev/null || missing+=(imagemagick)
    command -v python3 >/dev/null || missing+=(python3)
    # The MSVC-mode build: clang-cl, lld-link and llvm-rc, libc++'s headers and Wine's Windows
    # headers (the import libraries are MinGW-w64's).
    [ -x /usr/lib/llvm-14/bin/clang-cl ] || missing+=(clang-14 clang-tools-14)
    [ -x /usr/lib/llvm-14/bin/lld-link ] || missing+=(lld-14)
    [ -x /usr/lib/llvm-14/bin/llvm-rc ] || missing+=(llvm-14)
    [ -f /usr/lib/llvm-14/include/c++/v1/cstddef ] || missing+=(libc++-14-dev)
    [ -f /usr/include/wine/wine/windows/windows.h ] || missing+=(libwine-dev)
    # The fuzzer: clang 14's libFuzzer and sanitizer runtimes.
    dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || missing+=(libclang-rt-14-dev)
    printf '%s\n' "${missing[@]}"
}

tabrin_ensure_deps() {
    local missing
    missing=$(tabrin_missing_deps)
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages (install them as root): $(echo $missing)" >&2
        return 1
    fi
    echo "installing build and test packages (missing: $(echo $missing))" >&2
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq >&2 &&
    apt-get install -y -qq --no-install-recommends "${TABRIN_PACKAGES[@]}" >&2
}
