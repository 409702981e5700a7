#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
set -euo pipefail
packages=(build-essential cmake pkg-config libsqlite3-dev sqlite3 libedit-dev libgtest-dev
          libgmock-dev googletest libbenchmark-dev python3 libglib2.0-dev unixodbc-dev clang
          libclang-rt-dev clang-format libzip-dev libexpat1-dev libgsf-1-dev python3-openpyxl
          libreoffice-calc-nogui mdbtools-dev mdbtools libpq-dev postgresql)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
