#!/bin/sh
# Makes the signature vectors in this folder with Debian's minisign (0.11): two key pairs, a manifest, and
# its signature in the hashed (default, "ED") and the legacy ("Ed", -l) format, both by key A. The secret
# keys are thrown away; running this again makes new keys, and every file here changes together.
# Run from this folder: sh make-vectors.sh
set -eu
rm -f key-a.pub key-b.pub hashed.minisig legacy.minisig untimed.minisig
minisign -G -W -p key-a.pub -s key-a.key </dev/null
minisign -G -W -p key-b.pub -s key-b.key </dev/null
printf '<?xml version="1.0"?>\n<kmconfig>\n<dev><date>2026-12-01</date><url>#KMCONFIGDIR#dev.zip</url></dev>\n</kmconfig>\n' \
  >configinfo.xml
minisign -S -s key-a.key -m configinfo.xml -x hashed.minisig \
  -t "$(printf 'timestamp:1796903027\tfile:configinfo.xml\thashed')" </dev/null
minisign -S -l -s key-a.key -m configinfo.xml -x legacy.minisig \
  -t "$(printf 'timestamp:1796903027\tfile:configinfo.xml')" </dev/null
minisign -S -s key-a.key -m configinfo.xml -x untimed.minisig -t 'file:configinfo.xml' </dev/null
rm -f key-a.key key-b.key
# What the tool itself says about them:
minisign -V -p key-a.pub -m configinfo.xml -x hashed.minisig
minisign -V -p key-a.pub -m configinfo.xml -x legacy.minisig
