#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; skips what is present.
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config ccache qt6-base-dev libgl-dev libcurl4-openssl-dev
      nlohmann-json3-dev libzip-dev zlib1g-dev libudev-dev libgtest-dev libgmock-dev
      libbenchmark-dev libcpp-httplib-dev python3-pyftpdlib xvfb xauth curl)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq || true
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
