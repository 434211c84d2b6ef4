#!/bin/sh
# Installs the Debian 12 packages Sonavel needs that are missing, then configures and builds.
# Usage: scripts/setup.sh [build|test|coverage|fuzz|package|package-test]   (test and coverage
# also install what the tests and benchmarks use; the others install only what
# scripts/coverage.sh, fuzz.sh, package.sh and test-package.sh need, and build nothing: those
# scripts build for themselves)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
purpose=${1:-build}

packages="cmake g++ make pkg-config qt6-base-dev libqt6opengl6-dev qt6-svg-dev libmpv-dev
    libavformat-dev libavutil-dev libglib2.0-dev libxcb1-dev libxcb-screensaver0-dev
    libwayland-dev wayland-protocols qt6-base-private-dev libgl1-mesa-dri qt6-wayland
    qt6-translations-l10n fonts-dejavu-core fonts-noto-cjk"
test_packages="ffmpeg xvfb xauth dbus libglib2.0-bin xdg-utils shared-mime-info
        desktop-file-utils appstream man-db libbenchmark-dev mpv trayer xdotool playerctl imagemagick
        weston mutter kwin-wayland haskell-status-notifier-item-utils
        at-spi2-core python3-pyatspi pulseaudio pulseaudio-utils"
case "$purpose" in
test) packages="$packages $test_packages" ;;
coverage) packages="$packages $test_packages gcovr" ;;
fuzz) packages="$packages clang libclang-rt-14-dev" ;;
package) packages="dpkg-dev debhelper lintian" ;;
package-test) packages="dpkg-dev debhelper lintian ffmpeg xvfb xauth dbus libglib2.0-bin
    shared-mime-info desktop-file-utils playerctl" ;;
esac

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
    *" installed") ;;
    *) missing="$missing $package" ;;
    esac
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi

case "$purpose" in
build | test) ;;
*) exit 0 ;;
esac

build=${SONAVEL_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${SONAVEL_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
