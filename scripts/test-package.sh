#!/bin/sh
# Builds the Debian package, installs it onto this machine, checks that it plays, is offered
# for media files and answers --version, then purges it and checks that nothing is left.
# Needs root or sudo; refuses to run where a sonavel package is already installed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if dpkg-query -W -f='${Status}' sonavel 2>/dev/null | grep -q " installed$"; then
    echo "test-package: a sonavel package is installed already; remove it first" >&2
    exit 1
fi
"$root/scripts/setup.sh" package-test

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$root/scripts/package.sh" "$scratch/dist"
version=$(cd "$root" && dpkg-parsechangelog -S Version)
deb=$(ls "$scratch"/dist/sonavel_"$version"_*.deb)
ls -l "$deb"

fail() {
    echo "test-package: $*" >&2
    $sudo apt-get purge -y -q sonavel >/dev/null 2>&1 || true
    exit 1
}

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$deb"
dpkg-query -L sonavel >"$scratch/files"
for file in /usr/bin/sonavel /usr/libexec/sonavel/sonavel-player \
    /usr/share/applications/io.sonavel.Sonavel.desktop \
    /usr/share/metainfo/io.sonavel.Sonavel.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/io.sonavel.Sonavel.svg \
    /usr/share/man/man1/sonavel.1.gz /usr/share/doc/sonavel/copyright; do
    grep -qx "$file" "$scratch/files" && [ -e "$file" ] || fail "not installed: $file"
done

# A user of the installed package, with folders of their own.
home="$scratch/home"
mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
export XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
export XDG_CACHE_HOME="$home/cache" XDG_DATA_DIRS=/usr/local/share:/usr/share
[ "$(command -v sonavel)" = /usr/bin/sonavel ] || fail "sonavel is not found on the PATH"
sonavel --version | head -n 1 | grep -qx "Sonavel $version" || fail "--version does not say $version"
sonavel --help | grep -q "^Usage: sonavel" || fail "--help gives no usage"
for type in audio/mpeg audio/mp4 video/mp4 video/x-matroska; do
    gio mime "$type" | grep -q io.sonavel.Sonavel.desktop || fail "not offered for $type"
done

# It plays a song from the PATH: the desktop's media controls see it playing.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=30" "$home/song.mp3"
cat >"$scratch/play.sh" <<'PLAY'
#!/bin/sh
sonavel "$1" &
playing=1
for attempt in $(seq 1 150); do
    [ "$(playerctl --player=sonavel status 2>/dev/null)" = Playing ] && { playing=0; break; }
    sleep 0.2
done
# A volume set from the desktop is kept in the user's settings.
playerctl --player=sonavel volume 0.5
for attempt in $(seq 1 50); do
    grep -qs "^volume=0.5$" "$XDG_CONFIG_HOME/Sonavel/Sonavel.conf" && break
    sleep 0.2
done
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.sonavel /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Quit >/dev/null
wait
exit $playing
PLAY
chmod +x "$scratch/play.sh"
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    "$scratch/play.sh" "$home/song.mp3" || fail "the installed Sonavel did not play"

$sudo apt-get purge -y -q sonavel
left=""
while read -r file; do
    # Folders the package shares with others stay.
    [ -d "$file" ] && continue
    [ -e "$file" ] || [ -L "$file" ] && left="$left $file"
done <"$scratch/files"
for folder in /usr/libexec/sonavel /usr/share/doc/sonavel; do
    [ -e "$folder" ] && left="$left $folder"
done
[ -z "$left" ] || fail "left behind after purge:$left"
grep -q "^volume=0.5$" "$XDG_CONFIG_HOME/Sonavel/Sonavel.conf" ||
    fail "the user's settings were not kept"
echo "test-package: $(basename "$deb") built, lintian-clean, installed, played, purged"
