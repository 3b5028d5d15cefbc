#!/usr/bin/env bash
# Reads the export tables of a 32-bit Windows build:  win32-exports.sh BUILD_DIR
# darurov.dll must export `emit` and nothing else, undecorated (a stdcall or C++ name would be
# `_emit@12`, `emit@12` or `_Z4emit...`); kavc.dll must export the host's kavt* functions and
# variables; kc.exe must import kavc.dll and nothing of the plug-in.
set -euo pipefail
dir=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
exports() { "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p'; }
imports() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }

"$objdump" -f "$dir/darurov.dll" | grep -q 'file format pei-i386' || { echo "darurov.dll is not a 32-bit DLL" >&2; exit 1; }
plugin=$(exports "$dir/darurov.dll")
echo "darurov.dll exports: $plugin"
[ "$plugin" = emit ] || { echo "darurov.dll must export exactly 'emit', found: $plugin" >&2; exit 1; }
imports "$dir/darurov.dll" | grep -qx kavc.dll || { echo "darurov.dll does not import kavc.dll" >&2; exit 1; }

host=$(exports "$dir/kavc.dll")
# The host's functions are C++ (mangled: _Z<length><name>...); its variables keep their names.
for name in kavtopenEmitFile kavtokfprintf kavtgetatt kavtcleanFilesFatal; do
  grep -q "^_Z${#name}${name}" <<<"$host" || { echo "kavc.dll does not export $name" >&2; exit 1; }
done
for name in kavtCPP kavtmeta kavtg_f kavtgetAtt kavtfileStem; do
  grep -qx "$name" <<<"$host" || { echo "kavc.dll does not export $name" >&2; exit 1; }
done
echo "kavc.dll exports $(grep -c 'kavt' <<<"$host") kavt* functions and variables"
imports "$dir/kc.exe" | grep -qx kavc.dll || { echo "kc.exe does not import kavc.dll" >&2; exit 1; }
for f in darurov.dll kavc.dll kc.exe; do echo "$f imports: $(imports "$dir/$f" | tr '\n' ' ')"; done
