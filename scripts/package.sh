#!/bin/sh
# Builds the Debian source and binary packages from this tree and checks them with lintian.
# Usage: scripts/package.sh [OUTPUT_FOLDER]   (default: dist/; installs the packaging tools
# and the build dependencies that are missing)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
output=$(mkdir -p "${1:-$root/dist}" && cd "${1:-$root/dist}" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

"$root/scripts/setup.sh" package
if ! (cd "$root" && dpkg-checkbuilddeps) 2>/dev/null; then
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -q --no-install-recommends "$root"
fi

version=$(cd "$root" && dpkg-parsechangelog -S Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/sonavel-$version"
mkdir "$tree"
# The sources only: never a build folder, editor files or the version control's own.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 tar --no-recursion -cf - --) | tar -xf - -C "$tree"
else
    tar -C "$root" --exclude-vcs --exclude='./build*' --exclude=./dist -cf - . | tar -xf - -C "$tree"
fi

(cd "$tree" && dpkg-buildpackage --build=source,binary --no-sign)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
changes="$work/sonavel_${version}_${arch}.changes"
lintian --fail-on error,warning --info --display-info "$changes"

for file in "$work"/sonavel_"$version"*; do
    case "$file" in
    *.changes | *.buildinfo) ;;
    *) cp "$file" "$output/" ;;
    esac
done
echo "Built in $output:"
ls -l "$output"/sonavel_"$version"*
