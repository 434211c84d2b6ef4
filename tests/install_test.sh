#!/bin/sh
# Installs into a temporary prefix and checks that the desktop finds Sonavel there.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sonavel libexec/sonavel/sonavel-player share/applications/io.sonavel.Sonavel.desktop \
    share/metainfo/io.sonavel.Sonavel.metainfo.xml \
    share/icons/hicolor/scalable/apps/io.sonavel.Sonavel.svg share/man/man1/sonavel.1; do
    [ -e "$prefix/$file" ] || { echo "missing: $file"; exit 1; }
done
update-desktop-database "$prefix/share/applications"
# GIO lists an application only when its program is on the PATH.
export PATH="$prefix/bin:$PATH"
export XDG_DATA_HOME="$prefix/share" XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME="$prefix/config"
for type in video/mp4 audio/mpeg video/x-matroska audio/x-wav; do
    gio mime "$type" | grep -q io.sonavel.Sonavel.desktop || { echo "not offered for $type"; exit 1; }
done
echo "installed and offered"
