#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what an administrator gets: the programs, manual pages
# that render without warnings, systemd units that systemd accepts as they are, the message catalogues and the
# desktop integration (entry, icon, polkit action) naming the installed program.
# Usage: InstallLayoutTest.sh BUILD_DIR
set -uo pipefail

build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
passed=0
failed=0
check() { # description, command...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log" >&2
  rm -f "$prefix.log"
  echo "0 passed, 1 failed"
  exit 1
fi
rm -f "$prefix.log"

programs=(kalmora-updater kalmora-reg kalmora-unzip kalmora-script kalmora-publish)
for p in "${programs[@]}"; do
  check "$p is installed" test -x "$prefix/bin/$p"
  check "$p --help answers from the installed place" bash -c '"$1" --help | grep -qi usage' _ "$prefix/bin/$p"
  page="$prefix/share/man/man1/$p.1"
  check "$p.1 is installed" test -f "$page"
  # groff's warnings name every macro or escape it cannot read; a clean page renders silently.
  check "$p.1 renders cleanly" bash -c '[ -z "$(groff -ww -man -z "$1" 2>&1)" ] && man -l "$1" 2>&1 | grep -q NAME' _ "$page"
  check "$p.1 names its version" bash -c '! grep -q "@[A-Z_]*@" "$1"' _ "$page"
done

check "the sample nginx server block is installed" test -s "$prefix/share/doc/kalmora-updater/examples/kalmora-config.conf"

units="$prefix/lib/systemd/system"
check "service unit names the installed program" grep -qx "ExecStart=$prefix/bin/kalmora-updater" "$units/kalmora-updater.service"
check "timer unit is installed" test -f "$units/kalmora-updater.timer"
if command -v systemd-analyze >/dev/null; then
  # verify reports unknown keys and bad values on stderr but still exits 0.
  check "systemd accepts the units" bash -c 'cd "$1" && out=$(systemd-analyze verify --man=no ./kalmora-updater.service ./kalmora-updater.timer 2>&1) && [ -z "$out" ] || { echo "$out" >&2; false; }' _ "$units"
else
  echo "systemd-analyze is not installed: the units were not verified" >&2
fi

for po in "$(dirname "$0")"/../../po/*.po; do
  lang=$(basename "$po" .po)
  mo="$prefix/share/locale/$lang/LC_MESSAGES/kalmora-updater.mo"
  check "the $lang catalogue is installed" test -s "$mo"
  check "the $lang catalogue translates the window caption" \
    bash -c 'msgunfmt "$1" | grep -q "^msgid \"Programmaktualisierung\""' _ "$mo"
done

updater="$prefix/bin/kalmora-updater"
entry="$prefix/share/applications/kalmora-updater.desktop"
check "desktop entry is installed" test -f "$entry"
check "desktop entry is valid" bash -c 'out=$(desktop-file-validate "$1" 2>&1) && [ -z "$out" ] || { echo "$out" >&2; false; }' _ "$entry"
check "desktop entry starts the installed program through pkexec" grep -qx "Exec=pkexec $updater" "$entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
check "the entry's icon is installed" test -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg"
check "the icon is well-formed SVG" xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/$icon.svg"

policy="$prefix/share/polkit-1/actions/org.kalmora.onlineupdater.policy"
check "polkit action is installed" test -f "$policy"
check "polkit action is well-formed" xmllint --noout "$policy"
# pkexec runs a program only when an action's exec.path names exactly that path.
check "polkit action names the installed program" \
  grep -q "<annotate key=\"org.freedesktop.policykit.exec.path\">$updater</annotate>" "$policy"
check "polkit action asks for the administrator" \
  bash -c '[ "$(xmllint --xpath "string(//action[@id=\"org.kalmora.onlineupdater.run\"]/defaults/allow_active)" "$1")" = auth_admin ]' _ "$policy"
check "polkit action keeps the display for the window" grep -q 'policykit.exec.allow_gui">true<' "$policy"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
