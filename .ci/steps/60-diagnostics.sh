#!/usr/bin/env bash
# kc's messages on a terminal: coloured by default there, plain with TERM=dumb or
# -fdiagnostics-color=never. The test suite only sees pipes, so this runs kc under a
# pseudo-terminal (script, from bsdutils). Uses build/kc of the test step.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v script >/dev/null 2>&1; then
  apt-get install -y --no-install-recommends bsdutils
fi
kc=$PWD/build/kc
[[ -x $kc ]] || { echo "diagnostics step: $kc is missing (the test step builds it)"; exit 1; }
work=$(mktemp -d "${CI_SCRATCH:-/tmp}/diagnostics.XXXXXX")
trap 'rm -rf "$work"' EXIT
printf 'interface A : KAVObject {\n  void f();\n  implementation { f: namelokup; };\n};\n' > "$work/t.idl"

on_terminal() {  # on_terminal TERM ARGS...: kc's output as a terminal shows it
  local term=$1
  shift
  (cd "$work" && TERM=$term script -qec "$kc -o out $* t.idl" /dev/null) < /dev/null
}
esc=$'\033['
fail=0
out=$(on_terminal xterm)
[[ $out == *"${esc}01;35mwarning:"* ]] || { echo "no colour on a terminal:"; echo "$out"; fail=1; }
out=$(on_terminal dumb)
[[ $out != *"$esc"* ]] || { echo "colour with TERM=dumb:"; echo "$out"; fail=1; }
out=$(on_terminal xterm -fdiagnostics-color=never)
[[ $out != *"$esc"* ]] || { echo "colour with -fdiagnostics-color=never:"; echo "$out"; fail=1; }
[[ $out == *"did you mean 'namelookup'?"* ]] || { echo "the warning is missing:"; echo "$out"; fail=1; }
if ((fail)); then exit 1; fi
echo "diagnostics on a terminal: 3 passed, 0 failed"
