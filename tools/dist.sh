#!/usr/bin/env bash
# Makes the release package, dist/Kavro-<version>.zip, from a clean build:
#   tools/dist.sh                      clean 32-bit build in build/dist-build, zip in dist/
#   tools/dist.sh --from DIR --out DIR package the libraries an existing build made
# The version is the one of CMakeLists.txt's project() line, the single place
# it is written: it names the zip and its folder, the libraries carry it in
# their version resource, and CHANGELOG.md's newest entry must name it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
from="" out="$root/dist"
while [ $# -gt 0 ]; do
  case $1 in
    --from) from=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: tools/dist.sh [--from BUILD_DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done

version=$(sed -nE 's/^project\(Kavro VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "dist: no version on CMakeLists.txt's project() line" >&2; exit 1; }
logged=$(sed -nE 's/^## ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$root/CHANGELOG.md" | head -1)
if [ "$logged" != "$version" ]; then
  echo "dist: CHANGELOG.md's newest entry is ${logged:-missing}, the version is $version: write its entry first" >&2
  exit 1
fi

if [ -z "$from" ]; then
  from="$root/build/dist-build"
  echo "dist: clean 32-bit build of Kavro $version in $from"
  rm -rf "$from"
  cmake -S "$root" -B "$from" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF >"$root/build/.dist-build.log" 2>&1 &&
  cmake --build "$from" -j "${JOBS:-$(nproc)}" --target Kavro KavroMT KavroMTServer >>"$root/build/.dist-build.log" 2>&1 ||
    { cat "$root/build/.dist-build.log"; exit 1; }
fi
for f in Kavro.FLL KavroMT.FLL KavroMTServer.dll; do
  [ -f "$from/$f" ] || { echo "dist: $from/$f is missing" >&2; exit 1; }
done

name=Kavro-$version
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
pkg=$stage/$name
mkdir -p "$pkg"

# The libraries and the server, without symbols.
strip=i686-w64-mingw32-strip
for f in Kavro.FLL KavroMT.FLL KavroMTServer.dll; do
  "$strip" --strip-all -o "$pkg/$f" "$from/$f"
done
cp "$root/kavro.h" "$root/LICENSE" "$root/CHANGELOG.md" "$pkg/"
sed "s/@VERSION@/$version/g" "$root/tools/dist-readme.txt" >"$pkg/README.txt"
# Examples, every file of the folder (a script's expected output beside it).
cp -r "$root/examples" "$pkg/examples"
# The text files end their lines with CR LF, as Windows editors expect.
for f in "$pkg"/README.txt "$pkg"/LICENSE "$pkg"/CHANGELOG.md "$pkg"/kavro.h "$pkg"/examples/*.prg "$pkg"/examples/*.out; do
  if [ -f "$f" ]; then sed -i 's/\r*$/\r/' "$f"; fi
done

# The documentation; its links to shipped files are checked against this list.
(cd "$pkg" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$stage/shipped"
"$root/tools/make-docs" "$pkg/docs" "$stage/shipped" >/dev/null

rm -f "$out/$name.zip"
(cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
echo "dist: $out/$name.zip ($(du -k "$out/$name.zip" | cut -f1) KB)"
