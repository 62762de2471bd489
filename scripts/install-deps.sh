#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and the simulator need,
# and what scripts/package.sh needs to find the package's dependencies.
# Quiet when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-svg-dev libqcustomplot-dev
    libasound2-dev libsystemd-dev libmosquitto-dev libxlsxwriter-dev
    mosquitto mosquitto-clients python3-openpyxl
    # Debian's Qt HTTP server finds its CMake package only with the WebSockets
    # development files, which it does not depend on.
    qt6-httpserver-dev qt6-websockets-dev prometheus
    # A private session bus for the desktop notification test.
    dbus-daemon
    fonts-liberation fonts-dejavu-core
    xvfb xauth
    dpkg-dev file
    locales
)

"$(dirname "$0")/install-missing.sh" "${packages[@]}"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# One test runs under a comma locale; generate it when the machine lacks it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "Generating the de_DE.UTF-8 locale"
    $sudo sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
