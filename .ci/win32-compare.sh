#!/usr/bin/env bash
# Runs the native kc and the 32-bit Windows kc.exe (under wine) on every IDL file of the tests
# and examples, with several option sets, and compares exit status and every written byte:
#   win32-compare.sh NATIVE_KC WINDOWS_KC_EXE
set -euo pipefail
native=$(realpath "$1") windows=$(realpath "$2")
command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 1; }
# Some virtual machines cannot run 32-bit programs at all: the kernel answers "Exec format
# error", and wine's loader is one. There kc.exe is built and its exports checked, not run.
if ! started=$(wine --version 2>&1); then
  if [[ $started == *"Exec format error"* ]]; then
    echo "win32: comparison SKIPPED: this machine cannot run 32-bit programs ($started)" >&2
    exit 0
  fi
  echo "wine does not start: $started" >&2
  exit 1
fi
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d /tmp/darurov-wine.XXXXXX)} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d /tmp/darurov-win32-compare.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
# A new wine prefix is made on first use; make it before anything is compared.
wineboot --init >/dev/null 2>&1 && wineserver -w

run_side() {  # side options idl
  local side=$1 kc
  rm -rf "$work/$side" && mkdir -p "$work/$side"
  if [ "$side" = native ]; then kc=("$native"); else kc=(wine "$windows"); fi
  # shellcheck disable=SC2086
  set +e; "${kc[@]}" -o "$work/$side" -I tests/idl/valid/lib $2 "$3" >/dev/null 2>"$work/$side.err"; echo $? >"$work/$side.status"; set -e
}
same() { cmp -s "$work/native.status" "$work/windows.status" && diff -r "$work/native" "$work/windows" >/dev/null; }

option_sets=("" "-m csc" "-m notc -m nodesc" "-p Pfx -m noapstubs" "-m nodupcheck -D DEBUG")
runs=0 differ=0 headers=0
while IFS= read -r idl; do
  for options in "${option_sets[@]}"; do
    for side in native windows; do run_side $side "$options" "$idl"; done
    runs=$((runs + 1))
    headers=$((headers + $(find "$work/native" -name '*.xih' | wc -l)))
    # wine on a loaded machine now and then fails a run of its own: one more try, said aloud.
    if ! same; then
      echo "retrying under wine: kc $options $idl (status $(cat "$work/windows.status")): $(head -c 300 "$work/windows.err")" >&2
      run_side windows "$options" "$idl"
    fi
    if ! same; then
      differ=$((differ + 1))
      echo "differs: kc $options $idl (status $(cat "$work/native.status") vs $(cat "$work/windows.status"))" >&2
      diff -r "$work/native" "$work/windows" | head -20 >&2 || true
    fi
  done
done < <(find tests/idl examples -name '*.idl' | sort)

# The rest of the command line: -M, -MD with -MF, and -o -.
for args in "-M -I tests/idl/valid/lib tests/idl/valid/uses_lib.idl" "-o - examples/animal.idl"; do
  runs=$((runs + 1))
  # shellcheck disable=SC2086
  cmp -s <("$native" $args) <(wine "$windows" $args) || { differ=$((differ + 1)); echo "differs: kc $args" >&2; }
done
echo "win32: $headers headers compared"
echo "win32: $((runs - differ)) passed, $differ failed"
[ "$differ" = 0 ]
