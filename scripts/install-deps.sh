#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev
          libgtest-dev fonts-thai-tlwg zlib1g-dev libfreexl-dev postgresql-15 libqt6sql6-psql libpq-dev
          poppler-utils dpkg-dev file libqt6sql6-odbc tdsodbc unixodbc unixodbc-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
