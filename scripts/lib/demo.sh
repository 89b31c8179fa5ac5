# Shared by scripts/demo and scripts/screenshot: lays out a demo installation in a temporary folder (settings
# hives, database and installation folders, a seed package) and serves a demo configuration tree with newer
# packages from a loopback server. Sourced after scripts/lib/setup.sh with the repository root as the current
# directory and the programs built into build/bin.

# demo_start [SERVER_OPTION...]: sets up everything and exports what the updater reads (settings hives, TMPDIR,
# the server's base URL). Sets demo, bin, key and server_pid; the EXIT trap stops the server and removes the folder.
demo_start() {
  bin="$top/build/bin"
  demo=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-demo.XXXXXX")
  server_pid=
  # The server ends with the status of SIGTERM; under `set -e` that must not stop the clean-up half-way.
  cleanup() {
    if [ -n "$server_pid" ]; then
      kill "$server_pid" 2>/dev/null || true
      wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$demo"
  }
  trap cleanup EXIT

  export KALMORA_HKLM_FILE="$demo/hives/HKLM.reg"
  export KALMORA_HKCU_FILE="$demo/hives/HKCU.reg"
  export TMPDIR="$demo/tmp"
  mkdir -p "$demo/hives" "$TMPDIR"

  db="$demo/kalmora/db"
  install="$demo/kalmora/install"
  password="demo-Passw0rd"
  key='HKLM\Software\Kalmora'

  echo "== Demo installation in $demo"
  mkdir -p "$db/config/dev/devices" "$db/config/partner" "$install/bin" "$install/doc"
  echo "old device list" >"$db/config/dev/devices/old.ini"
  echo "program 1.0" >"$install/bin/kalmora.bin"
  echo "manual" >"$install/doc/manual.txt"
  "$bin/kalmora-reg" set "$key" DatabaseDir "$db/"
  "$bin/kalmora-reg" set "$key" InstallDir "$install/"
  "$bin/kalmora-reg" set "$key" InstallationId 0000A1B2
  "$bin/kalmora-reg" set "$key" lastconfigupdate.dev 2026-11-01

  # Packages: one top-level folder named after the kind.
  packages="$demo/packages"
  make_package() { # kind, zip file, [password], then files as path=content
    local kind=$1 zipfile=$2 pass=$3
    shift 3
    local work="$packages/$kind-src"
    rm -rf "$work"
    mkdir -p "$work"
    for spec in "$@"; do
      mkdir -p "$work/$(dirname "${spec%%=*}")"
      printf '%s\n' "${spec#*=}" >"$work/${spec%%=*}"
    done
    (cd "$work" && if [ -n "$pass" ]; then zip -qr -P "$pass" "$zipfile" "$kind"; else zip -qr "$zipfile" "$kind"; fi)
  }
  mkdir -p "$packages"
  make_package partner "$db/config/partner/partner.zip" "" \
    "partner/partners.ini=seed partner list"

  srv="$demo/server/kmdata/kmconfig"
  mkdir -p "$srv/lic" "$srv/packages"
  make_package dev "$srv/packages/dev-20261201.zip" "" \
    "dev/devices/analyzer.ini=analyzer 2026-12" "dev/devices/scale.ini=scale 2026-12"
  make_package partner "$srv/packages/partner-20261205.zip" "" \
    "partner/partners.ini=partner list 2026-12" "partner/labs/lab1.ini=lab 1"
  make_package patch "$srv/packages/patch-20261208.zip" "$password" \
    "patch/bin/kalmora.bin=program 1.1" "patch/bin/helper.bin=new helper"
  printf '%s\n' "$password" >"$srv/lic/A1B2.pwd"
  cat >"$srv/configinfo.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<kmconfig>
  <dev><date>2026-12-01</date><url>#KMCONFIGDIR#packages/dev-20261201.zip</url></dev>
  <partner><date>2026-12-05</date><url>#KMCONFIGDIR#packages/partner-20261205.zip</url></partner>
  <patch><date>2026-12-08</date><url>#KMCONFIGDIR#packages/patch-20261208.zip</url></patch>
</kmconfig>
XML

  "$bin/kalmora-testserver" "$demo/server" --port-file "$demo/port" --log "$demo/server.log" "$@" >/dev/null &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
  port=$(cat "$demo/port")
  export KALMORA_CONFIG_BASE_URL="http://127.0.0.1:$port/kmdata/kmconfig/"
  echo "== Configuration server at $KALMORA_CONFIG_BASE_URL"
}

# demo_show: the demo installation's files and recorded package states.
demo_show() {
  (cd "$demo/kalmora" && find . -type f ! -name ".*" | sort | while read -r f; do printf '  %-40s %s\n' "$f" "$(head -c 60 "$f" | tr -d '\0' | head -n 1)"; done)
  for kind in dev partner patch; do
    printf '  lastconfigupdate.%-8s = %s\n' "$kind" "$("$bin/kalmora-reg" get "$key" "lastconfigupdate.$kind" 2>/dev/null || echo '(absent)')"
  done
}
