# Shared by scripts/demo, scripts/screenshot and scripts/package-test: lays out a demo installation (settings
# hives, database and installation folders, a seed package) and serves a demo configuration tree with newer
# packages from a loopback server. Sourced after scripts/lib/setup.sh with the repository root as the current
# directory; demo_serve runs the server from $bin, which demo_start sets to build/bin.

# demo_start [SERVER_OPTION...]: sets up everything and exports what the updater reads (settings hives, TMPDIR,
# the server's base URL). Sets demo, bin, key and server_pid; the EXIT trap stops the server and removes the folder.
demo_start() {
  bin="$top/build/bin"
  demo=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-demo.XXXXXX")
  server_pid=
  cleanup() {
    demo_stop_server
    rm -rf "$demo"
  }
  trap cleanup EXIT

  export KALMORA_HKLM_FILE="$demo/hives/HKLM.reg"
  export KALMORA_HKCU_FILE="$demo/hives/HKCU.reg"
  export TMPDIR="$demo/tmp"
  mkdir -p "$demo/hives" "$TMPDIR"

  echo "== Demo installation in $demo"
  demo_installation "$demo/kalmora" "$demo/kalmora" "$bin/kalmora-reg"
  demo_serve "$demo" "$@"
}

# demo_zip KIND ZIPFILE PASSWORD [PATH=CONTENT...]: a package, one top-level folder named after the kind; an empty
# PASSWORD leaves it unencrypted.
demo_zip() {
  local kind=$1 zipfile=$2 pass=$3 spec work
  shift 3
  work=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-zip.XXXXXX")
  for spec in "$@"; do
    mkdir -p "$work/$(dirname "${spec%%=*}")"
    printf '%s\n' "${spec#*=}" >"$work/${spec%%=*}"
  done
  (cd "$work" && if [ -n "$pass" ]; then zip -qr -P "$pass" "$zipfile" "$kind"; else zip -qr "$zipfile" "$kind"; fi)
  rm -rf "$work"
}

# demo_installation DIR SEEN REG...: lays out the database and installation folders below DIR, a seed package
# and an older device list, and records them with the command REG... (kalmora-reg and whatever runs it) under the
# path SEEN, where the programs see DIR. Sets key.
demo_installation() {
  local here=$1 seen=$2
  shift 2
  key='HKLM\Software\Kalmora'
  mkdir -p "$here/db/config/dev/devices" "$here/db/config/partner" "$here/install/bin" "$here/install/doc"
  echo "old device list" >"$here/db/config/dev/devices/old.ini"
  echo "program 1.0" >"$here/install/bin/kalmora.bin"
  echo "manual" >"$here/install/doc/manual.txt"
  demo_zip partner "$here/db/config/partner/partner.zip" "" "partner/partners.ini=seed partner list"
  "$@" set "$key" DatabaseDir "$seen/db/"
  "$@" set "$key" InstallDir "$seen/install/"
  "$@" set "$key" InstallationId 0000A1B2
  "$@" set "$key" lastconfigupdate.dev 2026-11-01
}

# demo_serve DIR [SERVER_OPTION...]: lays out the demo configuration tree with newer packages below DIR/server and
# serves it from a loopback server. Sets server_pid and exports KALMORA_CONFIG_BASE_URL.
demo_serve() {
  local dir=$1 password="demo-Passw0rd"
  shift
  local srv="$dir/server/kmdata/kmconfig"
  mkdir -p "$srv/lic" "$srv/packages"
  demo_zip dev "$srv/packages/dev-20261201.zip" "" \
    "dev/devices/analyzer.ini=analyzer 2026-12" "dev/devices/scale.ini=scale 2026-12"
  demo_zip partner "$srv/packages/partner-20261205.zip" "" \
    "partner/partners.ini=partner list 2026-12" "partner/labs/lab1.ini=lab 1"
  demo_zip patch "$srv/packages/patch-20261208.zip" "$password" \
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

  "$bin/kalmora-testserver" "$dir/server" --port-file "$dir/port" --log "$dir/server.log" "$@" >/dev/null &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$dir/port" ] && break; sleep 0.1; done
  local port
  port=$(cat "$dir/port")
  export KALMORA_CONFIG_BASE_URL="http://127.0.0.1:$port/kmdata/kmconfig/"
  echo "== Configuration server at $KALMORA_CONFIG_BASE_URL"
}

# demo_stop_server: ends the server of demo_serve. It ends with the status of SIGTERM; under `set -e` that must not
# stop a clean-up half-way.
demo_stop_server() {
  if [ -n "${server_pid:-}" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}

# demo_verify DIR REG...: whether the installation below DIR holds the served packages and records them, as read
# with REG...; prints one line per difference.
demo_verify() {
  local here=$1 entry kind want got status=0
  shift
  for entry in db/config/dev/devices/analyzer.ini="analyzer 2026-12" db/config/dev/devices/old.ini= \
    db/config/partner/labs/lab1.ini="lab 1" db/config/partner/partners.ini="partner list 2026-12" \
    install/bin/kalmora.bin="program 1.1" install/bin/helper.bin="new helper" install/doc/manual.txt=manual; do
    want=${entry#*=}
    got=$(cat "$here/${entry%%=*}" 2>/dev/null) || got=
    [ "$got" = "$want" ] || { echo "${entry%%=*} holds '$got', not '$want'"; status=1; }
  done
  for entry in dev=2026-12-01 partner=2026-12-05 patch=2026-12-08; do
    kind=${entry%%=*}
    got=$("$@" get "$key" "lastconfigupdate.$kind" 2>&1) || true
    [ "$got" = "${entry#*=}" ] || { echo "lastconfigupdate.$kind is '$got', not '${entry#*=}'"; status=1; }
  done
  return $status
}

# demo_show: the demo installation's files and recorded package states.
demo_show() {
  (cd "$demo/kalmora" && find . -type f ! -name ".*" | sort | while read -r f; do printf '  %-40s %s\n' "$f" "$(head -c 60 "$f" | tr -d '\0' | head -n 1)"; done)
  for kind in dev partner patch; do
    printf '  lastconfigupdate.%-8s = %s\n' "$kind" "$("$bin/kalmora-reg" get "$key" "lastconfigupdate.$kind" 2>/dev/null || echo '(absent)')"
  done
}
