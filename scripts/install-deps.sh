#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are missing.
#   scripts/install-deps.sh               build and test dependencies (native, asan and m32)
#   scripts/install-deps.sh --bench-peers also the libraries the benchmarks compare against
#   scripts/install-deps.sh --win32       also the i686 MinGW-w64 cross compilers and Wine, then
#                                         libyaml and GoogleTest built for 32-bit Windows into
#                                         $ORB_WIN32_PREFIX (default ~/.cache/orb-win32/i686, where
#                                         cmake/toolchains/i686-w64-mingw32.cmake looks too)
#   scripts/install-deps.sh --fuzz        also clang with libFuzzer and the sanitizer runtimes, and
#                                         llvm-symbolizer for readable reports (the fuzz preset)
#
# Packages are installed as root, or through sudo when it asks for no password; otherwise the
# script names what is missing and how to install it, and fails only when the build cannot do
# without it. Building never waits for a password.
set -euo pipefail

mode="${1:-}"
win32_prefix="${ORB_WIN32_PREFIX:-${HOME}/.cache/orb-win32/i686}"
toolchain="$(cd "$(dirname "$0")/.." && pwd)/cmake/toolchains/i686-w64-mingw32.cmake"

required=(cmake make g++ g++-multilib pkg-config
          rapidjson-dev libyaml-dev libyaml-dev:i386
          libgtest-dev libgtest-dev:i386 libgmock-dev libgmock-dev:i386)
# Without these the build still works: no benchmarks, no `orb-host serve`.
optional=(libbenchmark-dev libcpp-httplib-dev)
case "$mode" in
  --bench-peers) optional+=(nlohmann-json3-dev libmsgpack-dev libyaml-cpp-dev libbenchmark-dev:i386) ;;
  # The posix thread model, because the SDK uses std::mutex, std::call_once and thread_local.
  # Wine runs the 32-bit test programs: wine brings the commands (wine, wineserver, wineboot),
  # wine32 the 32-bit loader. googletest is the source that the cross build of GoogleTest
  # compiles; dpkg-dev unpacks what `apt-get source` fetches.
  --win32) required+=(gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
                      wine wine32:i386 googletest dpkg-dev) ;;
  --fuzz) required+=(clang libclang-rt-dev llvm) ;;
  "") ;;
  *) echo "usage: $0 [--bench-peers | --win32 | --fuzz]" >&2; exit 2 ;;
esac

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing_required < <(missing "${required[@]}")
mapfile -t missing_optional < <(missing "${optional[@]}")
to_install=("${missing_required[@]}" "${missing_optional[@]}")

as_root=()
can_install=1
if [[ $(id -u) -ne 0 ]]; then
  if sudo -n true 2>/dev/null; then as_root=(sudo); else can_install=0; fi
fi

if [[ ${#to_install[@]} -gt 0 ]]; then
  if [[ $can_install -eq 0 ]]; then
    i386=""
    dpkg --print-foreign-architectures | grep -qx i386 || i386="sudo dpkg --add-architecture i386 && "
    echo "Missing Debian packages: ${to_install[*]}" >&2
    echo "Install them with: ${i386}sudo apt-get update && sudo apt-get install ${to_install[*]}" >&2
    [[ ${#missing_required[@]} -eq 0 ]] || exit 1
    echo "(optional: the build goes on without them)" >&2
  else
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${as_root[@]}" dpkg --add-architecture i386
    fi
    echo "Installing: ${to_install[*]}"
    "${as_root[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${to_install[@]}"
  fi
fi
[[ "$mode" == "--win32" ]] || exit 0

# ---- Libraries for the cross build, in a prefix of the user's own ----

have() { [[ -e "$win32_prefix/$1" ]]; }
if have lib/libyaml.a && have include/yaml.h && have lib/cmake/GTest/GTestConfig.cmake && have lib/libgmock.a &&
   have include/rapidjson/document.h; then
  exit 0
fi
mkdir -p "$win32_prefix/include" "$win32_prefix/lib"
scratch="$(mktemp -d /tmp/orb-win32-deps.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cross_cmake=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_INSTALL_PREFIX="$win32_prefix" -DBUILD_SHARED_LIBS=OFF)

if ! have lib/libyaml.a || ! have include/yaml.h; then
  # libyaml for Windows is built from Debian's own source package, so apt needs a source entry.
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  # What apt is configured to fetch, whether or not it ever fetched it.
  targets="$(apt-get indextargets --no-release-info --format '$(CREATED_BY) $(RELEASE) $(REPO_URI)')"
  if ! awk -v suite="$codename" '$1 == "Sources" && $2 == suite { found = 1 } END { exit !found }' <<<"$targets"; then
    mirror="$(awk -v suite="$codename" '$1 == "Packages" && $2 == suite { print $3; exit }' <<<"$targets")"
    [[ -n "$mirror" ]] || { echo "No apt source for $codename to take the source packages from" >&2; exit 1; }
    entry="/etc/apt/sources.list.d/orb-$codename-src.sources"
    if [[ $can_install -eq 0 ]]; then
      echo "libyaml for Windows is built from Debian's source package: add a deb-src entry for $mirror" >&2
      echo "($codename main) in $entry and run apt-get update as root, then run this again." >&2
      exit 1
    fi
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    {
      echo "Types: deb-src"
      echo "URIs: $mirror"
      echo "Suites: $codename"
      echo "Components: main"
      [[ -f "$keyring" ]] && echo "Signed-By: $keyring"
    } | "${as_root[@]}" tee "$entry" >/dev/null
    "${as_root[@]}" apt-get update -qq
  fi
  echo "Building libyaml for $win32_prefix"
  # Downloaded as whoever runs this: apt's own download user may not write to the scratch folder.
  (cd "$scratch" && apt-get source -qq -o APT::Sandbox::User="$(id -un)" libyaml >/dev/null)
  libyaml_source="$(find "$scratch" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -n 1)"
  cmake -S "$libyaml_source" -B "$scratch/libyaml-build" "${cross_cmake[@]}" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$scratch/libyaml-build" -j2 >/dev/null
  cmake --install "$scratch/libyaml-build" >/dev/null
fi

if ! have lib/cmake/GTest/GTestConfig.cmake || ! have lib/libgmock.a; then
  echo "Building GoogleTest and GoogleMock for $win32_prefix"
  cmake -S /usr/src/googletest -B "$scratch/googletest-build" "${cross_cmake[@]}" \
        -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$scratch/googletest-build" -j2 >/dev/null
  cmake --install "$scratch/googletest-build" >/dev/null
fi

# RapidJSON is header-only: the cross build sees Debian's headers through the prefix, so it never
# needs the build machine's /usr/include on its include path.
have include/rapidjson/document.h || ln -sfn /usr/include/rapidjson "$win32_prefix/include/rapidjson"
