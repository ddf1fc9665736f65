#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are missing,
# so that it is quick on a prepared machine and complete on a fresh one.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libicu-dev libzip-dev
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev pkg-config wordnet-base python3)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all build packages present"
fi
