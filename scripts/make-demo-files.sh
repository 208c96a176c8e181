#!/bin/sh
# Creates the demo's Windows tree: small placeholder files standing for the
# drivers that demo/demo.reg registers. $1: the folder that stands for the
# Windows directory (a Wine prefix's drive_c/windows works too).
# File names on disk are lower case on purpose: the registry spells several
# of them in upper case, as real installations do.
set -eu
windir="$1"
store="$windir/system32/spool/drivers/w32x86"
x64store="$windir/system32/spool/drivers/x64"
mkdir -p "$store/2" "$store/3" "$x64store/3"

place() {
  printf 'Vormlan demo placeholder: %s\r\n' "$(basename "$1")" > "$1"
}

for f in vdpcl.gpd unidrv.dll unidrvui.dll unidrv.hlp vdpcl.ini unires.dll stdnames.gpd \
         vdpjlmon.dll vdink.gpd vdink-res.dll; do
  place "$store/3/$f"
done
for f in vddot.ppd rasdd.dll rasddui.dll vddot.dll; do
  place "$store/2/$f"
done
# The laser driver is registered for x64 as well.
for f in vdpcl.gpd unidrv.dll unidrvui.dll unidrv.hlp vdpcl.ini unires.dll; do
  place "$x64store/3/$f"
done
# This language monitor lives only in System32: the package takes it from there.
place "$windir/system32/vdinkmon.dll"
