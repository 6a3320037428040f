#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a tiny C
# host against it, once through find_package and once through pkg-config.
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -L "$prefix/lib/libtersolite.so" -a -L "$prefix/lib/libtersolite.so.0" -a -f "$prefix/lib/libtersolite.so.0.2.1"
test -x "$prefix/bin/tersolite"
bash -n "$prefix/share/bash-completion/completions/tersolite"
if command -v help2man >/dev/null; then
  grep -q 'Exit status' "$prefix/share/man/man1/tersolite.1"
fi

cmake -S "$source/tests/consumer" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$prefix/consumer" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$prefix/consumer/consumer"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
test "$(pkg-config --modversion tersolite)" = 0.2.1
cc -o "$prefix/pkgconfig-consumer" "$source/tests/consumer/main.c" $(pkg-config --cflags --libs tersolite)
LD_LIBRARY_PATH="$prefix/lib" "$prefix/pkgconfig-consumer"
LD_LIBRARY_PATH="$prefix/lib" "$prefix/bin/tersolite" --version
