#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are missing.
#   scripts/install-deps.sh               build and test dependencies (native, asan and m32)
#   scripts/install-deps.sh --bench-peers also the libraries the benchmarks compare against
set -euo pipefail

packages=(cmake make g++ g++-multilib pkg-config
          rapidjson-dev libyaml-dev libyaml-dev:i386
          libgtest-dev libgtest-dev:i386 libgmock-dev libgmock-dev:i386 libbenchmark-dev libcpp-httplib-dev curl)
if [[ "${1:-}" == "--bench-peers" ]]; then
  packages+=(nlohmann-json3-dev libmsgpack-dev libyaml-cpp-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
