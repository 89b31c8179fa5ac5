# Shared by scripts/test and scripts/demo: installs the missing Debian packages, configures and builds into
# build/. Sourced with the repository root as the current directory.

# The one list of Debian packages the build, the tests and the benchmarks need.
packages=(
  # toolchain and test framework
  cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
  # libraries the program links
  qt6-base-dev qt6-base-dev-tools libcurl4-openssl-dev libxml2-dev
  zlib1g-dev libbz2-dev liblzma-dev libwavpack-dev gettext uuid-dev
  # archive tools the tests and benchmarks compare against or make archives with
  zip unzip 7zip libarchive-tools python3 curl locales
  # fuzzing (scripts/fuzz)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
