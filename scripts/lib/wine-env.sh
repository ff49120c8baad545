# A private Wine desktop for running tabrin.exe: Xvfb, a throw-away WINEPREFIX
# whose every process joins the "shell" virtual desktop (1024x768, with the
# taskbar), and clean-up of exactly what was started here.
#
# Sourced. Usage (WINE_ENV_ARCH then says which programs run: x86 or x64):
#   wine_env_start [--use-display]   # --use-display: keep $DISPLAY when it is set
#   wine ...                          # DISPLAY, WINEPREFIX, WINEDEBUG are exported
#   wine_env_stop                     # also runs from the EXIT trap set by start
# A caller that needs its own EXIT trap must call wine_env_stop from it.

WINE_ENV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINE_ENV_DIR=""
WINE_ENV_PREFIX=""
WINE_ENV_XVFB_PID=""
WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768}
WINE_ENV_ARCH=""

# The Windows architecture this machine's Wine runs: x86 where the 32-bit Wine
# loader starts; x64 where the kernel has no IA-32 emulation (ia32_emulation=0),
# which refuses every 32-bit program, the loader included. TABRIN_WINE_ARCH
# overrides the choice.
wine_env_arch() {
    if [ -n "${TABRIN_WINE_ARCH:-}" ]; then
        echo "$TABRIN_WINE_ARCH"
    elif [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo x86
    else
        echo x64
    fi
}

# The Windows build preset whose programs this machine's Wine runs: windows-x86, or its
# 64-bit copy windows-x64.
wine_env_preset() { echo "windows-$(wine_env_arch)"; }

# The version of the Wine that runs our programs; needs no started desktop.
wine_env_version() {
    if [ "$(wine_env_arch)" = x64 ]; then /usr/lib/wine/wine64 --version; else wine --version; fi
}

# On x64, `wine` must be the 64-bit loader: Debian's wrapper always picks the
# 32-bit one when it is installed, even where it cannot start. A `wine` of our
# own first on PATH serves every caller, `timeout wine ...` included.
wine_env_use_arch() {
    WINE_ENV_ARCH=$(wine_env_arch)
    [ "$WINE_ENV_ARCH" = x64 ] || return 0
    mkdir -p "$WINE_ENV_DIR/bin"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
        >"$WINE_ENV_DIR/bin/wine"
    chmod +x "$WINE_ENV_DIR/bin/wine"
    export PATH="$WINE_ENV_DIR/bin:$PATH"
}

# Starts Xvfb on a free display chosen by the server itself, so parallel runs
# never fight over a display number.
wine_env_start_xvfb() {
    local fdfile="$WINE_ENV_DIR/display" i
    Xvfb -displayfd 3 -screen 0 "${WINE_ENV_SCREEN}x24" -nolisten tcp \
        3>"$fdfile" >"$WINE_ENV_DIR/xvfb.log" 2>&1 &
    WINE_ENV_XVFB_PID=$!
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! [ -s "$fdfile" ]; then
        echo "wine-env: Xvfb did not start (see $WINE_ENV_DIR/xvfb.log)" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$fdfile")"
}

# Builds a pristine prefix once per Wine version and keeps it under build/:
# wineboot costs about 13 s, a copy well under one.
wine_env_pristine_prefix() {
    local version cache tmp
    version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
    cache="${TABRIN_WINE_CACHE:-$WINE_ENV_ROOT/build/wine-prefix}/$version-$WINE_ENV_ARCH-shell-$WINE_ENV_SCREEN"
    if [ ! -f "$cache/.tabrin-ready" ]; then
        mkdir -p "$(dirname "$cache")"
        tmp=$(mktemp -d "$(dirname "$cache")/.building.XXXXXX")
        echo "wine-env: creating a Wine prefix (once)" >&2
        (
            export WINEPREFIX="$tmp/prefix"
            wine wineboot -i >/dev/null 2>&1
            # Every process of the prefix joins one desktop named "shell": only
            # that name gets a visible taskbar ("Shell_TrayWnd").
            wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$WINE_ENV_SCREEN" /f >/dev/null 2>&1
            wineserver -w
        ) || true
        if ! grep -q '"Desktop"="shell"' "$tmp/prefix/user.reg" 2>/dev/null; then
            echo "wine-env: could not prepare the Wine prefix" >&2
            rm -rf "$tmp"
            return 1
        fi
        touch "$tmp/prefix/.tabrin-ready"
        # A concurrent run may have won the race; either copy is as good.
        mv -T "$tmp/prefix" "$cache" 2>/dev/null || true
        rm -rf "$tmp"
    fi
    echo "$cache"
}

wine_env_start() {
    local use_display=0 pristine
    [ "${1:-}" = --use-display ] && use_display=1
    export WINEDEBUG=-all
    # No Mono or Gecko: without them wineboot would offer to download them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    WINE_ENV_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tabrin-wine.XXXXXX")
    trap wine_env_stop EXIT
    wine_env_use_arch
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if [ "$use_display" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        :
    else
        wine_env_start_xvfb || return 1
    fi
    pristine=$(wine_env_pristine_prefix) || return 1
    # Hard links make the 1.3 GB prefix a copy of a tenth of a second; Wine only
    # reads its DLLs, and the files it does rewrite get copies of their own.
    cp -al "$pristine" "$WINE_ENV_DIR/prefix" 2>/dev/null || cp -a "$pristine" "$WINE_ENV_DIR/prefix"
    local f
    for f in "$pristine"/*.reg "$pristine"/.update-timestamp "$pristine"/wineserver \
             "$pristine"/drive_c/windows/*.ini; do
        [ -f "$f" ] && cp --remove-destination -p "$f" "$WINE_ENV_DIR/prefix/${f#"$pristine"/}"
    done
    rm -rf "$WINE_ENV_DIR/prefix/drive_c/users"
    cp -a "$pristine/drive_c/users" "$WINE_ENV_DIR/prefix/drive_c/users"
    WINE_ENV_PREFIX="$WINE_ENV_DIR/prefix"
    export WINEPREFIX="$WINE_ENV_PREFIX"
}

# Ends only what wine_env_start started: the wineserver of our own prefix (and
# with it every Wine process of that prefix) and our Xvfb, by PID.
wine_env_stop() {
    [ -n "$WINE_ENV_DIR" ] || return 0
    # Never the caller's own WINEPREFIX: only the prefix made here.
    if [ -n "$WINE_ENV_PREFIX" ] && [ -d "$WINE_ENV_PREFIX" ]; then
        WINEPREFIX="$WINE_ENV_PREFIX" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$WINE_ENV_PREFIX" timeout 20 wineserver -w >/dev/null 2>&1
        WINE_ENV_PREFIX=""
    fi
    if [ -n "$WINE_ENV_XVFB_PID" ]; then
        kill "$WINE_ENV_XVFB_PID" 2>/dev/null
        wait "$WINE_ENV_XVFB_PID" 2>/dev/null
        WINE_ENV_XVFB_PID=""
    fi
    rm -rf "$WINE_ENV_DIR"
    WINE_ENV_DIR=""
}

# Unix path -> Windows path through drive Z:, which a fresh prefix maps to /.
wine_env_winpath() {
    local p
    p=$(readlink -f "$1")
    printf 'Z:%s\n' "${p//\//\\}"
}
