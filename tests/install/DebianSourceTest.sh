#!/usr/bin/env bash
# The Debian package is built from debian/, which has to follow the project: its version is the one the programs
# print, and every Debian package the build needs (scripts/lib/setup.sh) is a build dependency, or a clean build
# of the package fails where this machine's does not.
# Usage: DebianSourceTest.sh SOURCE_DIR PROJECT_VERSION
set -uo pipefail

cd "$1" || exit 1
failed=0
changelog_version=$(sed -n '1s/^kalmora-updater (\([^)]*\)).*/\1/p' debian/changelog)
if [ "$changelog_version" != "$2" ]; then
  echo "debian/changelog names version '$changelog_version', the project $2: add a changelog entry" >&2
  failed=1
fi

source scripts/lib/setup.sh
# The field's package names, without versions, architectures or alternatives' separators.
build_depends=" $(sed -n '/^Build-Depends:/,/^[^ ]/p' debian/control | sed 's/^Build-Depends://; /^[A-Z]/d' |
  tr ',|' '\n\n' | sed 's/[[(<].*//; s/ //g' | tr '\n' ' ') "
for p in "${packages_build[@]}"; do
  # g++ comes with build-essential, which every package build has.
  [ "$p" = g++ ] && continue
  if [[ $build_depends != *" $p "* ]]; then
    echo "scripts/lib/setup.sh builds with $p, debian/control's Build-Depends lacks it" >&2
    failed=1
  fi
done
if [ "$failed" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit "$failed"
