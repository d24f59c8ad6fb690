# Sourced by the tools that run the Windows programs. Chooses the build whose
# programs this machine can run, and a private Wine prefix inside the build
# tree with Wine's null graphics driver, no Mono or Gecko, and quiet logs.
# Creates the prefix the first time.
#
# build/.test-arch and build/.test-runner (written by tools/setup.sh) say how:
#   32, native  the shipped 32-bit build under 32-bit Wine;
#   32, qemu    the same build, with 32-bit Wine run by QEMU's user-mode
#               emulator (for kernels that cannot execute 32-bit code);
#   64          the 64-bit test build under 64-bit Wine, the last resort.
KAVRO_ROOT=${KAVRO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
KAVRO_ARCH=$(cat "$KAVRO_ROOT/build/.test-arch" 2>/dev/null || echo 32)
KAVRO_RUNNER=$(cat "$KAVRO_ROOT/build/.test-runner" 2>/dev/null || echo native)
[ "$KAVRO_ARCH" = 64 ] && KAVRO_RUNNER=native
case "$KAVRO_ARCH-$KAVRO_RUNNER" in
  32-native)
    KAVRO_BUILD="$KAVRO_ROOT/build"
    KAVRO_WINE=(/usr/lib/wine/wine)
    KAVRO_WINESERVER=/usr/lib/wine/wineserver
    KAVRO_RUNS="the 32-bit build under Wine"
    export WINEARCH=win32
    ;;
  32-qemu)
    KAVRO_BUILD="$KAVRO_ROOT/build"
    KAVRO_WINE=(/usr/bin/qemu-i386 /usr/lib/wine/wine)
    # The native server serves 32-bit clients too.
    KAVRO_WINESERVER=/usr/lib/wine/wineserver64
    KAVRO_RUNS="the 32-bit build under Wine through QEMU's user-mode emulator"
    export WINEARCH=win32
    ;;
  *)
    KAVRO_BUILD="$KAVRO_ROOT/build/win64"
    KAVRO_WINE=(/usr/lib/wine/wine64)
    KAVRO_WINESERVER=/usr/lib/wine/wineserver64
    KAVRO_RUNS="the 64-bit test build under 64-bit Wine (this machine runs no 32-bit code)"
    export WINEARCH=win64
    ;;
esac
[ -x "$KAVRO_WINESERVER" ] || KAVRO_WINESERVER=wineserver
export WINEPREFIX="$KAVRO_ROOT/build/wineprefix$KAVRO_ARCH"
export WINESERVER="$KAVRO_WINESERVER"
export WINEDEBUG=-all
# winedbg is switched off: a crashing program ends at once instead of waiting
# in the debugger, which never returns from a corrupted stack.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.kavro-ready" ]; then
  echo "Preparing the Wine prefix in $WINEPREFIX ..." >&2
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "${KAVRO_WINE[@]}" wineboot -i >/dev/null 2>&1 || true
  "${KAVRO_WINE[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$KAVRO_WINESERVER" -w
  touch "$WINEPREFIX/.kavro-ready"
fi

# One Wine server for a whole run: it stays up for a minute after the last program.
"$KAVRO_WINESERVER" -p 60 2>/dev/null || true

kavro_run() {
  "${KAVRO_WINE[@]}" "$@"
}
