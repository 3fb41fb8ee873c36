#!/usr/bin/env bash
# Installs the packages the build needs (Debian 12, as root) when any is missing.
set -euo pipefail
pkgs=(cmake g++ make pkg-config libgtest-dev libnetcdf-dev netcdf-bin zlib1g-dev groff-base python3 gzip
      libcairo2-dev fonts-dejavu-core nlohmann-json3-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
