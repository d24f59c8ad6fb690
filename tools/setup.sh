#!/usr/bin/env bash
# Installs what building and testing need, and nothing when it is all there.
# Safe to run on every `make`: the checks take well under a second.
#
# The tests run the library that ships: the 32-bit build. Where the kernel
# executes 32-bit code, 32-bit Wine runs it natively. Where it cannot (some
# kernels run with 32-bit emulation switched off), 32-bit Wine runs through
# QEMU's user-mode emulator. Only where neither works does the suite fall back
# to the 64-bit test build. build/.test-arch records the build (32 or 64),
# build/.test-runner how its programs run (native or qemu).
#
# With an argument it also installs what one more task needs:
#   dist           pandoc, which makes the HTML documentation (make dist);
#   release-tests  pandoc, chromium and python3, for the tests of the
#                  release package and its documentation (tools/run-tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
extra=()
case "${1:-}" in
  "") ;;
  dist) extra=(pandoc) ;;
  release-tests) extra=(pandoc chromium python3) ;;
  *) echo "usage: tools/setup.sh [dist|release-tests]" >&2; exit 2 ;;
esac
mkdir -p "$root/build"

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo

# Can this machine execute 32-bit x86 code natively?
can_run_32bit() {
  local probe="$root/build/.probe32"
  if [ ! -x "$probe" ]; then
    # A 96-byte ELF32 program that exits with status 3.
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x03\x00\x00\x00\xcd\x80' > "$probe"
    chmod +x "$probe"
  fi
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  [ "$rc" = 3 ]
}

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

updated=0
apt_install() {
  echo "Installing: $*" >&2
  if [ $updated = 0 ]; then $SUDO apt-get update -qq; updated=1; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

need=()
for p in cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest libz-mingw-w64-dev wine wine64 fonts-dejavu-core ${extra[@]+"${extra[@]}"}; do
  have_pkg "$p" || need+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  updated=0
fi
have_pkg wine32:i386 || need+=(wine32:i386)
[ ${#need[@]} -eq 0 ] || apt_install "${need[@]}"

# QEMU 10 or later: 7.2 spends most of a minute starting each Wine process.
qemu_is_recent() {
  command -v qemu-i386 >/dev/null || return 1
  local major
  major=$(qemu-i386 --version | sed -nE '1s/.*version ([0-9]+)\..*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 10 ]
}

install_emulator() {
  if ! qemu_is_recent; then
    local list=/etc/apt/sources.list.d/kavro-backports.sources
    if [ ! -f "$list" ]; then
      $SUDO tee "$list" >/dev/null <<EOF
Types: deb
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME}-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
      updated=0
    fi
    apt_install -t "${VERSION_CODENAME}-backports" qemu-user || return 1
    qemu_is_recent || return 1
  fi
  # Wine starts itself and its helper processes by exec'ing its preloader when
  # that file exists. The kernel cannot run the 32-bit loader, so the
  # preloader hands it to the emulator instead.
  local preloader=/usr/lib/wine/wine-preloader
  if ! grep -qs qemu-i386 "$preloader"; then
    printf '#!/bin/sh\nexec /usr/bin/qemu-i386 "$@"\n' | $SUDO tee "$preloader" >/dev/null
    $SUDO chmod 755 "$preloader"
  fi
}

arch=32 runner=native
if can_run_32bit; then
  :
elif ( . /etc/os-release && install_emulator ); then
  runner=qemu
else
  echo "Neither this kernel nor QEMU runs 32-bit code here: the tests use the 64-bit build." >&2
  arch=64
fi
echo "$arch" > "$root/build/.test-arch"
echo "$runner" > "$root/build/.test-runner"
