# Sourced by the tools that run the Windows programs. Chooses the build whose
# programs this machine can run (the 32-bit one, or the 64-bit test build when
# the kernel cannot execute 32-bit code), and a private Wine prefix inside the
# build tree with Wine's null graphics driver, no Mono or Gecko, and quiet logs.
# Creates the prefix the first time.
KAVRO_ROOT=${KAVRO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
KAVRO_ARCH=$(cat "$KAVRO_ROOT/build/.test-arch" 2>/dev/null || echo 32)
if [ "$KAVRO_ARCH" = 32 ]; then
  KAVRO_BUILD="$KAVRO_ROOT/build"
  KAVRO_WINE=/usr/lib/wine/wine
  KAVRO_WINESERVER=/usr/lib/wine/wineserver
  export WINEARCH=win32
else
  KAVRO_BUILD="$KAVRO_ROOT/build/win64"
  KAVRO_WINE=/usr/lib/wine/wine64
  KAVRO_WINESERVER=/usr/lib/wine/wineserver64
  export WINEARCH=win64
fi
[ -x "$KAVRO_WINESERVER" ] || KAVRO_WINESERVER=wineserver
export WINEPREFIX="$KAVRO_ROOT/build/wineprefix$KAVRO_ARCH"
export WINESERVER="$KAVRO_WINESERVER"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.kavro-ready" ]; then
  echo "Preparing the Wine prefix in $WINEPREFIX ..." >&2
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$KAVRO_WINE" wineboot -i >/dev/null 2>&1 || true
  "$KAVRO_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$KAVRO_WINESERVER" -w
  touch "$WINEPREFIX/.kavro-ready"
fi

# One Wine server for a whole run: it stays up for a minute after the last program.
"$KAVRO_WINESERVER" -p 60 2>/dev/null || true

kavro_run() {
  "$KAVRO_WINE" "$@"
}
