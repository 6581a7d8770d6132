#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the program need.
# Idempotent: packages already present are skipped, so a warm machine returns at once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc
  unixodbc unixodbc-dev tdsodbc odbc-postgresql libsqliteodbc
  postgresql
  uuid-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  liblua5.4-dev libpugixml-dev libxml2-utils
  libmimalloc-dev
  clang libclang-rt-14-dev
  xvfb xauth
  sqlite3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
