#!/usr/bin/env bash
# Installs what the package check (tests/package_test.sh) needs beyond the
# build: Debian's package checker, the AppStream and desktop entry
# validators, and systemd's unit checker. Quiet when everything is there.
set -euo pipefail
"$(dirname "$0")/install-missing.sh" lintian appstream desktop-file-utils systemd
