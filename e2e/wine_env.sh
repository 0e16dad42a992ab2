# Sourced by the e2e scripts: brings up one Xvfb display and one private Wine
# prefix for the whole run, and tears both down on exit.
#
# Idempotent: sourcing it twice in the same shell reuses what is already up.
# Exports: DISPLAY, WINEPREFIX, WINE, WINEDEBUG, WINEDLLOVERRIDES,
#          E2E_TMP (scratch dir removed at exit), E2E_WINEBOOT_SECONDS.
# Provides: e2e_wait_for CMD... (poll a condition with a timeout),
#           e2e_teardown (also run by the EXIT trap).

if [[ -n "${E2E_ENV_READY:-}" ]]; then
    return 0
fi

# E2E_WINE_ARCH=win32 runs 32-bit Wine in a 32-bit prefix (the i686 build,
# the product); win64 (the default) runs wine64 (the x86_64 build).
E2E_WINE_ARCH=${E2E_WINE_ARCH:-win64}
if [[ $E2E_WINE_ARCH == win32 ]]; then
    E2E_WINE_LOADER=${E2E_WINE_LOADER:-/usr/lib/wine/wine}
    export WINEARCH=win32
else
    E2E_WINE_LOADER=${E2E_WINE_LOADER:-/usr/lib/wine/wine64}
    unset WINEARCH
fi
E2E_WINESERVER=${E2E_WINESERVER:-/usr/lib/wine/wineserver}

e2e_log() { printf '[e2e] %s\n' "$*" >&2; }

e2e_require_tools() {
    local missing=()
    [[ -x "$E2E_WINE_LOADER" ]] || missing+=("$([[ $E2E_WINE_ARCH == win32 ]] && echo wine32:i386 || echo wine64)")
    command -v Xvfb >/dev/null || missing+=(xvfb)
    command -v xdotool >/dev/null || missing+=(xdotool)
    command -v xdpyinfo >/dev/null || missing+=(x11-utils)
    command -v import >/dev/null || missing+=(imagemagick)
    command -v setxkbmap >/dev/null || missing+=(x11-xkb-utils)
    if ((${#missing[@]})); then
        e2e_log "missing tools (packages: ${missing[*]}); install them with scripts/setup.sh"
        return 1
    fi
}

# e2e_wait_for TIMEOUT_SECONDS DESCRIPTION CMD...
# Polls CMD every 50 ms until it succeeds; fails after the timeout.
e2e_wait_for() {
    local timeout=$1 what=$2
    shift 2
    # Whole seconds are enough for a deadline; the poll itself is 50 ms so
    # that conditions met within a few hundred milliseconds cost no more.
    local deadline=$((SECONDS + timeout + 1))
    while ! "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            e2e_log "timed out after ${timeout}s waiting for: $what"
            return 1
        fi
        sleep 0.05
    done
}

e2e_teardown() {
    local rc=$?
    if [[ -n "${WINEPREFIX:-}" && -d "${WINEPREFIX:-}" ]]; then
        WINEPREFIX=$WINEPREFIX "$E2E_WINESERVER" -k >/dev/null 2>&1 || true
        # wineserver -k returns before every process is gone.
        WINEPREFIX=$WINEPREFIX "$E2E_WINESERVER" -w >/dev/null 2>&1 || true
    fi
    if [[ -n "${E2E_XVFB_PID:-}" ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null || true
        wait "$E2E_XVFB_PID" 2>/dev/null || true
    fi
    if [[ -n "${E2E_TMP:-}" && -d "${E2E_TMP:-}" ]]; then
        rm -rf "$E2E_TMP"
    fi
    unset E2E_ENV_READY E2E_XVFB_PID
    return $rc
}

e2e_free_display() {
    local n
    for n in $(seq 90 189); do
        if [[ ! -e /tmp/.X${n}-lock && ! -e /tmp/.X11-unix/X${n} ]]; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

e2e_start_xvfb() {
    local n tries
    for tries in 1 2 3; do
        n=$(e2e_free_display) || { e2e_log "no free X display"; return 1; }
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -ac >"$E2E_TMP/xvfb.log" 2>&1 &
        E2E_XVFB_PID=$!
        export DISPLAY=":$n"
        if e2e_wait_for 10 "Xvfb on :$n" xdpyinfo -display ":$n"; then
            return 0
        fi
        # Lost a race for the display number: try another one.
        kill "$E2E_XVFB_PID" 2>/dev/null || true
        wait "$E2E_XVFB_PID" 2>/dev/null || true
        unset E2E_XVFB_PID
    done
    e2e_log "Xvfb did not start"; cat "$E2E_TMP/xvfb.log" >&2
    return 1
}

e2e_start_wine() {
    export WINEPREFIX="$E2E_TMP/prefix"
    # E2E_WINEDEBUG (e.g. "+keyboard,+event") traces Wine itself into the logs.
    export WINEDEBUG=${E2E_WINEDEBUG:--all}
    # No Mono/Gecko install prompts: the tests need neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINE="$E2E_WINE_LOADER"
    export WINESERVER="$E2E_WINESERVER"
    local t0=$EPOCHREALTIME
    # One persistent wineserver for the whole run: every later wine process
    # then attaches to it instead of spawning (and waiting out) a new one.
    mkdir -p "$WINEPREFIX"
    "$WINESERVER" -p
    "$WINE" wineboot -i >"$E2E_TMP/wineboot.log" 2>&1 || {
        e2e_log "wineboot failed"; cat "$E2E_TMP/wineboot.log" >&2; return 1; }
    E2E_WINEBOOT_SECONDS=$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.1f", b-a}')
    export E2E_WINEBOOT_SECONDS
    e2e_log "wine prefix ready in ${E2E_WINEBOOT_SECONDS}s ($WINEPREFIX, $E2E_WINE_ARCH: $("$WINE" --version 2>/dev/null))"
}

e2e_require_tools
E2E_TMP=$(mktemp -d /tmp/calmirande-e2e.XXXXXX)
export E2E_TMP
trap e2e_teardown EXIT
trap 'exit 130' INT TERM
e2e_start_xvfb
e2e_start_wine
E2E_ENV_READY=1
