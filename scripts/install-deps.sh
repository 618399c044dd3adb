#!/usr/bin/env bash
# Installs, from Debian's archive, the packages that the build, the tests and the benchmarks need,
# and only those that are missing. Usage: scripts/install-deps.sh [--fuzz]
set -euo pipefail

# tshark: the tests check the pcap export with the reader it is written for. dpkg-dev: the Debian
# package's library dependencies are found by its dpkg-shlibdeps; file: CPack's DEB generator runs it.
packages=(cmake g++ ninja-build pkg-config libgtest-dev libcli11-dev libpcap-dev zlib1g-dev qt6-base-dev
  qt6-svg-dev fonts-dejavu-core xvfb xauth tshark dpkg-dev file)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

as_root=()
if [[ "$(id -u)" -ne 0 ]]; then
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
