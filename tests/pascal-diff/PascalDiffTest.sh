#!/usr/bin/env bash
# Each program runs twice: through kalmora-script, and compiled by Free Pascal in Delphi mode with
# FpcPrelude.pas. Both runs must end with status 0 and print the same bytes. Compiled programs are kept in
# CACHE_DIR and compiled again only when the program, the prelude or the compiler changes.
# Usage: PascalDiffTest.sh KALMORA_SCRIPT CACHE_DIR [PROGRAM.pas...]   (default: every programs/*.pas)
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tool=$(realpath "$1")
cache=$(realpath -m "$2")
shift 2
programs=("$@")
((${#programs[@]})) || programs=("$here"/programs/*.pas)

# CI installs the compiler with the test packages; a run without it has checked nothing.
if ! fpc=$(command -v fpc); then
  echo "FAILED: fpc not found; install Debian's fp-compiler (scripts/lib/setup.sh, group test)" >&2
  exit 1
fi
flags=(-Mdelphi -B "-FaSysUtils,Variants,FpcPrelude" "-Fu$here" "-FU$cache/units")
compiler=$("$fpc" -iVTPTO)
mkdir -p "$cache/units" || exit 1
work=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-pascal-diff.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# compile PROGRAM BINARY: a fresh native build unless the cached one came from the same inputs.
compile() {
  local key
  key=$(cat "$here/FpcPrelude.pas" "$1" | sha256sum)" $compiler ${flags[*]}"
  [ -x "$2" ] && [ "$(cat "$2.key" 2>/dev/null)" = "$key" ] && return 0
  rm -f "$2" "$2.key"
  # Compiled under a neutral name, so that a program called like a unit (errors, strings) stays a program.
  cp "$1" "$work/program.pas" || return 1
  if ! (cd "$work" && "$fpc" "${flags[@]}" "-o$2" program.pas >"$work/fpc.log" 2>&1); then
    grep -E 'Error|Fatal' "$work/fpc.log" | sed "s/^program\.pas/$(basename "$1")/" >&2
    return 1
  fi
  printf '%s' "$key" >"$2.key"
}

# Neither run may open a window or write a debug log; texts and numbers read the same in every locale.
run() { # OUT, command...
  local out=$1
  shift
  (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KALMORA_DEBUG_LEVEL LC_ALL=C \
    timeout 60 "$@" >"$out" 2>"$out.err")
}

for program in "${programs[@]}"; do
  program=$(realpath "$program")
  name=$(basename "$program" .pas)
  binary="$cache/$name"
  if ! compile "$program" "$binary"; then
    echo "FAILED: $name: fpc could not compile it" >&2
    failed=$((failed + 1))
    continue
  fi
  run "$work/fpc.out" "$binary"
  fpc_status=$?
  run "$work/script.out" "$tool" "$program"
  script_status=$?
  if [ "$fpc_status" -ne 0 ] || [ "$script_status" -ne 0 ]; then
    echo "FAILED: $name: exit status $fpc_status from fpc's build, $script_status from kalmora-script" >&2
    cat "$work/fpc.out.err" "$work/script.out.err" >&2
    failed=$((failed + 1))
  elif ! diff -u --label "$name (fpc)" --label "$name (kalmora-script)" "$work/fpc.out" "$work/script.out" >&2
  then
    echo "FAILED: $name: the outputs differ" >&2
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
