#!/bin/sh
# Makes the Wine prefix the Windows tests run in, from scratch: a fresh prefix whose Song face
# names resolve to AR PL UMing (wine-fonts.reg), then waits until Wine has written it to disk.
#   wine-prefix.sh LOADER PREFIX REGFILE STAMP
set -eu
loader=$1 prefix=$2 regfile=$3 stamp=$4
export WINEPREFIX="$prefix" WINEDEBUG=-all
rm -rf "$prefix"
mkdir -p "$prefix"
"$loader" wineboot -i >/dev/null 2>&1
# regedit reads a file with a byte-order mark as UTF-16, which keeps the Chinese names whole
# whatever the locale.
{ printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$regfile"; } >"$prefix/askgame-fonts.reg"
(cd "$prefix" && "$loader" regedit /S askgame-fonts.reg)
wineserver -w
touch "$stamp"
