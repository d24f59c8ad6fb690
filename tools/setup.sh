#!/usr/bin/env bash
# Installs what building and testing need, and nothing when it is all there.
# Safe to run on every `make`: the checks take well under a second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Can this machine execute 32-bit x86 code? Some kernels run with 32-bit
# emulation switched off; the test suite then runs against the 64-bit build.
can_run_32bit() {
  local probe="$root/build/.probe32"
  mkdir -p "$root/build"
  if [ ! -x "$probe" ]; then
    # A 96-byte ELF32 program that exits with status 3.
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x03\x00\x00\x00\xcd\x80' > "$probe"
    chmod +x "$probe"
  fi
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  [ "$rc" = 3 ]
}

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest libz-mingw-w64-dev wine wine64 fonts-dejavu-core; do
  have_pkg "$p" || need+=("$p")
done

arch=64
if can_run_32bit; then
  arch=32
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need+=(wine32:i386)
  elif ! have_pkg wine32:i386; then
    need+=(wine32:i386)
  fi
fi

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}" >&2
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

echo "$arch" > "$root/build/.test-arch"
