#!/usr/bin/env bash
# Installs the Debian packages the project needs (quick when they are already there),
# then configures and builds everything in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
          libqt6printsupport6 libsqlite3-dev sqlite3 unixodbc-dev unixodbc tdsodbc freetds-bin
          libsqliteodbc libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
          fonts-dejavu-core poppler-utils python3-aiosmtpd openssl libxlsxwriter-dev
          qt6-translations-l10n locales)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
