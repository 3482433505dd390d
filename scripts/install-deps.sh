#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are missing.
#   scripts/install-deps.sh               build and test dependencies (native, asan and m32)
#   scripts/install-deps.sh --bench-peers also the libraries the benchmarks compare against
#   scripts/install-deps.sh --win32       also the i686 MinGW-w64 cross compilers and Wine, then
#                                         libyaml and GoogleTest built for 32-bit Windows into
#                                         $ORB_WIN32_PREFIX (cmake/toolchains/i686-w64-mingw32.cmake
#                                         looks there by default)
set -euo pipefail

win32_prefix="${ORB_WIN32_PREFIX:-/opt/orb-win32/i686}"
toolchain="$(cd "$(dirname "$0")/.." && pwd)/cmake/toolchains/i686-w64-mingw32.cmake"

packages=(cmake make g++ g++-multilib pkg-config
          rapidjson-dev libyaml-dev libyaml-dev:i386
          libgtest-dev libgtest-dev:i386 libgmock-dev libgmock-dev:i386 libbenchmark-dev libcpp-httplib-dev curl)
if [[ "${1:-}" == "--bench-peers" ]]; then
  packages+=(nlohmann-json3-dev libmsgpack-dev libyaml-cpp-dev)
fi
if [[ "${1:-}" == "--win32" ]]; then
  # The posix thread model, because the SDK uses std::mutex, std::call_once and thread_local.
  # Wine runs the 32-bit test programs: wine brings the commands (wine, wineserver, wineboot),
  # wine32 the 32-bit loader; wine64 is not needed. googletest is the source that the cross build
  # of GoogleTest compiles; dpkg-dev unpacks what `apt-get source` fetches.
  packages+=(gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
             wine wine32:i386 googletest dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

win32_libraries_present() {
  [[ -f "$win32_prefix/lib/libyaml.a" && -f "$win32_prefix/include/yaml.h" &&
     -f "$win32_prefix/lib/cmake/GTest/GTestConfig.cmake" && -f "$win32_prefix/lib/libgmock.a" &&
     -e "$win32_prefix/include/rapidjson/document.h" ]]
}
win32_build=0
[[ "${1:-}" == "--win32" ]] && ! win32_libraries_present && win32_build=1
[[ ${#missing[@]} -eq 0 && $win32_build -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

# libyaml for Windows is built from Debian's own source package, so apt needs a source entry.
codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
sources_added=0
# What apt is configured to fetch, whether or not it ever fetched it.
targets="$(apt-get indextargets --no-release-info --format '$(CREATED_BY) $(RELEASE) $(REPO_URI)')"
if [[ $win32_build -eq 1 && ! -f "$win32_prefix/lib/libyaml.a" ]] &&
   ! awk -v suite="$codename" '$1 == "Sources" && $2 == suite { found = 1 } END { exit !found }' <<<"$targets"; then
  mirror="$(awk -v suite="$codename" '$1 == "Packages" && $2 == suite { print $3; exit }' <<<"$targets")"
  [[ -n "$mirror" ]] || { echo "No apt source for $codename to take the source packages from" >&2; exit 1; }
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  {
    echo "Types: deb-src"
    echo "URIs: $mirror"
    echo "Suites: $codename"
    echo "Components: main"
    [[ -f "$keyring" ]] && echo "Signed-By: $keyring"
  } | $sudo tee "/etc/apt/sources.list.d/orb-$codename-src.sources" >/dev/null
  sources_added=1
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
elif [[ $sources_added -eq 1 ]]; then
  $sudo apt-get update -qq
fi
[[ $win32_build -eq 1 ]] || exit 0

# Static libraries for the cross build, made in a scratch folder that is removed however this ends.
scratch="$(mktemp -d /tmp/orb-win32-deps.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cross_cmake=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_INSTALL_PREFIX="$win32_prefix" -DBUILD_SHARED_LIBS=OFF)
$sudo mkdir -p "$win32_prefix/include" "$win32_prefix/lib"

if [[ ! -f "$win32_prefix/lib/libyaml.a" || ! -f "$win32_prefix/include/yaml.h" ]]; then
  echo "Building libyaml for $win32_prefix"
  # Downloaded as whoever runs this: apt's own download user may not write to the scratch folder.
  (cd "$scratch" && apt-get source -qq -o APT::Sandbox::User="$(id -un)" libyaml >/dev/null)
  libyaml_source="$(find "$scratch" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -n 1)"
  cmake -S "$libyaml_source" -B "$scratch/libyaml-build" "${cross_cmake[@]}" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$scratch/libyaml-build" -j2 >/dev/null
  $sudo cmake --install "$scratch/libyaml-build" >/dev/null
fi

if [[ ! -f "$win32_prefix/lib/cmake/GTest/GTestConfig.cmake" || ! -f "$win32_prefix/lib/libgmock.a" ]]; then
  echo "Building GoogleTest and GoogleMock for $win32_prefix"
  cmake -S /usr/src/googletest -B "$scratch/googletest-build" "${cross_cmake[@]}" \
        -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$scratch/googletest-build" -j2 >/dev/null
  $sudo cmake --install "$scratch/googletest-build" >/dev/null
fi

# RapidJSON is header-only: the cross build sees Debian's headers through the prefix, so it never
# needs the build machine's /usr/include on its include path.
if [[ ! -e "$win32_prefix/include/rapidjson/document.h" ]]; then
  $sudo ln -sfn /usr/include/rapidjson "$win32_prefix/include/rapidjson"
fi
