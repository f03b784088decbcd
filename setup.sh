#!/usr/bin/env bash
# Turns a fresh Debian bookworm machine into a build machine for both targets.
# Safe to run again: installed packages and built libraries are kept.
set -euo pipefail

DEPS_DIR=${VANTELO_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/vantelo-deps}
EXPAT_VERSION=2.5.0-1+deb12u2
MINIZIP_VERSION=1.1-8+deb12u1
TARGETS="i686-w64-mingw32 x86_64-w64-mingw32"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  libz-mingw-w64-dev cmake make googletest wine64 xvfb xauth python3 python3-pefile
  unzip zip curl dpkg-dev imagemagick x11-utils"

missing=
for p in $packages; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"; done
if [ -n "${missing// /}" ]; then
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages
fi

# Source packages are served from the main pool only.
src_list=/etc/apt/sources.list.d/vantelo-src.sources
if [ ! -f "$src_list" ]; then
  as_root tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  as_root apt-get update -qq
fi

mkdir -p "$DEPS_DIR/src"
stamp="$DEPS_DIR/.built-expat-$EXPAT_VERSION-minizip-$MINIZIP_VERSION"
if [ -f "$stamp" ]; then
  echo "dependencies ready in $DEPS_DIR"
  exit 0
fi

cd "$DEPS_DIR/src"
rm -rf expat minizip
apt-get source -qq --download-only "expat=$EXPAT_VERSION" "minizip=$MINIZIP_VERSION" 2>/dev/null
dpkg-source -q -x --no-check expat_*.dsc expat >/dev/null
dpkg-source -q -x --no-check minizip_*.dsc minizip >/dev/null

for target in $TARGETS; do
  prefix="$DEPS_DIR/$target"
  rm -rf "$prefix" "$DEPS_DIR/build-expat-$target"
  mkdir -p "$prefix/include/minizip" "$prefix/lib"

  cmake -S expat/expat -B "$DEPS_DIR/build-expat-$target" \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$target-gcc-posix" \
    -DCMAKE_RC_COMPILER="$target-windres" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
    -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
  # Debian's security patches test "XML_DTD == 1", as its autotools build defines it.
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$DEPS_DIR/build-expat-$target/expat_config.h"
  cmake --build "$DEPS_DIR/build-expat-$target" -j"$(nproc)" >/dev/null
  cmake --install "$DEPS_DIR/build-expat-$target" >/dev/null

  # minizip's writer only: zip.c over the default buffered-file functions of ioapi.c.
  objs=()
  for f in zip ioapi; do
    "$target-gcc-posix" -O2 -c "minizip/$f.c" -o "$DEPS_DIR/$target-$f.o" -DNOCRYPT -DUSE_FILE32API -w
    objs+=("$DEPS_DIR/$target-$f.o")
  done
  "$target-ar" rcs "$prefix/lib/libminizip.a" "${objs[@]}"
  rm -f "${objs[@]}"
  cp minizip/zip.h minizip/ioapi.h "$prefix/include/minizip/"
done

touch "$stamp"
echo "dependencies ready in $DEPS_DIR"
