#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing (a fresh Debian 12 machine has none of them).
set -euo pipefail
packages=(cmake ninja-build pkg-config g++ clang libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
          libsqlite3-dev libexpat1-dev libcurl4-openssl-dev libcpp-httplib-dev python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
