#!/usr/bin/env bash
# Installs what the package check (tests/package_test.sh) needs beyond the
# build: Debian's package checker, the AppStream and desktop entry
# validators, and systemd's unit checker. Quiet when everything is there.
set -euo pipefail

packages=(lintian appstream desktop-file-utils systemd)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
