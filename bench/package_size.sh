#!/bin/sh
# The package's figures: its size, its installed size, and how many packages installing it
# pulls into a minimal Debian (the essential packages, apt and what they depend on, taken
# from this machine's package database), as apt-get would with and without recommends.
# Usage: bench/package_size.sh dist/sonavel_<version>_<arch>.deb
set -eu
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

awk 'BEGIN { RS = ""; FS = "\n" }
function add(name) { if (name in entry && !(name in kept)) { kept[name] = 1; queue[++last] = name } }
{
    name = ""; essential = 0; deps = ""
    if ($0 !~ /\nStatus: install ok installed/) next
    for (i = 1; i <= NF; i++) {
        if ($i ~ /^Package: /) name = substr($i, 10)
        else if ($i ~ /^(Essential: yes|Priority: required)$/) essential = 1
        else if ($i ~ /^(Pre-)?Depends: /) deps = deps "," substr($i, index($i, ":") + 2)
    }
    if (name in entry) next
    entry[name] = $0; depends[name] = deps
    if (essential) roots[name] = 1
}
END {
    for (name in roots) add(name)
    add("apt")
    for (first = 1; first <= last; first++) {
        count = split(depends[queue[first]], alternatives, ",")
        for (a = 1; a <= count; a++) {
            choices = split(alternatives[a], names, "|")
            for (c = 1; c <= choices; c++) {
                split(names[c], words, " "); sub(/:.*/, "", words[1])
                if (words[1] in entry) { add(words[1]); break }
            }
        }
    }
    for (name in kept) printf "%s\n\n", entry[name]
}' /var/lib/dpkg/status >"$scratch/status"

pulled() {
    apt-get install --simulate -o Dir::State::status="$scratch/status" "$@" "$deb" 2>/dev/null |
        grep -c '^Inst '
}
echo "package: $(stat -c %s "$deb") bytes"
echo "installed: $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "minimal Debian: $(grep -c '^Package: ' "$scratch/status") packages"
echo "pulled in: $(($(pulled) - 1)) packages ($(($(pulled --no-install-recommends) - 1)) without recommends)"
