#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a tiny C
# host against it, once through find_package and once through pkg-config.
# Nothing runs with LD_LIBRARY_PATH: the installed tool and both hosts must
# find the library by themselves.
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
unset LD_LIBRARY_PATH
cmake --install "$build" --prefix "$prefix" >/dev/null
version=$(sed -n 's/^project(tersolite VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
test -L "$prefix/lib/libtersolite.so" -a -L "$prefix/lib/libtersolite.so.${version%%.*}" \
  -a -f "$prefix/lib/libtersolite.so.$version"
test -x "$prefix/bin/tersolite"
bash -n "$prefix/share/bash-completion/completions/tersolite"
if command -v help2man >/dev/null; then
  grep -q 'Exit status' "$prefix/share/man/man1/tersolite.1"
fi
test -f "$prefix/share/doc/tersolite/LICENSE"

cmake -S "$source/tests/consumer" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$prefix/consumer" >/dev/null
"$prefix/consumer/consumer"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
test "$(pkg-config --modversion tersolite)" = "$version"
cc -o "$prefix/pkgconfig-consumer" "$source/tests/consumer/main.c" $(pkg-config --cflags --libs tersolite)
"$prefix/pkgconfig-consumer"
test "$("$prefix/bin/tersolite" --version)" = "tersolite $version"
echo '{"a": [1, 2, 3]}' | "$prefix/bin/tersolite" --indent 0
