# Shared by scripts/test, scripts/demo and scripts/fuzz: installs the missing Debian packages, configures and
# builds into build/. Sourced with the repository root as the current directory.

# The Debian packages, by what needs them. The program's build needs `build`; the test suite and the
# benchmarks also `test`; scripts/demo needs `demo`, scripts/screenshot also `screenshot`; scripts/fuzz
# needs `fuzz`.
packages_build=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libcurl4-openssl-dev libxml2-dev
  libisal-dev zlib1g-dev libbz2-dev liblzma-dev libwavpack-dev libarchive-dev gettext uuid-dev
  # Ed25519, BLAKE2b-512 and SHA-256 for signed manifests and package hashes
  libssl-dev
)
packages_test=(
  libgtest-dev libgmock-dev
  # archive tools the tests and benchmarks compare against or make archives with
  zip unzip 7zip libarchive-tools python3 curl locales
  # WavPack streams for the method-97 fixtures
  wavpack
  # makes the signatures the signed-mode tests check
  minisign
  # a real web server for the process tests, and the test certificates for its TLS port
  nginx-light openssl
  # the installed manual pages, systemd units, desktop entry and polkit action are checked with these
  man-db groff-base systemd desktop-file-utils libxml2-utils
  # Free Pascal compiles the programs of tests/pascal-diff that the script engine is compared against
  fp-compiler
)
packages_demo=(zip)
# scripts/screenshot: a virtual display, a window lookup and a grab of it
packages_screenshot=(xvfb x11-utils imagemagick)
packages_fuzz=(clang libclang-rt-14-dev)

# install_packages GROUP...: installs what is missing of the named groups.
install_packages() {
  local group p missing=()
  for group in "$@"; do
    local -n list="packages_$group"
    for p in "${list[@]}"; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  local sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
}

jobs=$(nproc 2>/dev/null || echo 2)

# configure_build [CMAKE_OPTION...]: configures build/.
configure_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}
