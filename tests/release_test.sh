#!/bin/sh
# The version and date of the newest release, read from debian/changelog here on their own,
# are what the built program and its AppStream release list say.
set -eu
source=$1
build=$2
changelog="$source/debian/changelog"
version=$(sed -n '1s/^sonavel (\([^)]*\)).*/\1/p' "$changelog")
date=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)" +%F)
release=$(grep -o '<release [^>]*>' "$build/io.sonavel.Sonavel.metainfo.xml" | head -n 1)
[ "$release" = "<release version=\"$version\" date=\"$date\">" ] ||
    { echo "metainfo says $release; the changelog $version of $date"; exit 1; }
"$build/sonavel" --version | head -n 1 | grep -qx "Sonavel $version" ||
    { echo "--version does not say $version"; exit 1; }
echo "release $version of $date"
