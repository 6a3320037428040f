#!/usr/bin/env bash
# Fetches Debian's libyaml source package into DEST (its sources, with
# Debian's patches applied) for builds that cannot use the installed
# library, such as WebAssembly. The source entries are the machine's own
# apt sources, read as deb-src; apt's system state is left untouched.
#
#   cmake/fetch_libyaml.sh DEST
set -euo pipefail
dest=$1
[[ -f $dest/src/api.c ]] && exit 0
command -v dpkg-source >/dev/null || { echo "dpkg-source not found (Debian package dpkg-dev)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial" "$work/src"
: > "$work/sources.list"

# Every enabled source, as a source-package entry.
if [[ -f /etc/apt/sources.list ]]; then
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >> "$work/sources.list"
fi
for f in /etc/apt/sources.list.d/*.list; do
  [[ -f $f ]] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$work/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
  [[ -f $f ]] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$work/parts/$(basename "$f")"
done

apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/parts"
          -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "Debug::NoLocking=1")
# apt drops to its own user to download, which cannot write into a private
# temporary folder.
[[ $(id -u) == 0 ]] && apt_opts+=(-o "APT::Sandbox::User=root")

# The version of the installed library, when there is one, so that both
# builds read YAML with the same code.
package=libyaml
version=$(dpkg-query -W -f='${Version}' libyaml-0-2 2>/dev/null || true)
[[ -n $version ]] && package="libyaml=$version"

apt-get "${apt_opts[@]}" -qq update
(cd "$work/src" && apt-get "${apt_opts[@]}" -qq source "$package" >/dev/null)
tree=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -n 1)
[[ -f $tree/src/api.c ]] || { echo "libyaml's sources were not unpacked" >&2; exit 1; }
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$tree" "$dest"
echo "libyaml sources in $dest" >&2
