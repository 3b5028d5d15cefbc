#!/usr/bin/env bash
# Builds this project against an installed darurov and checks what gets rebuilt:
#   check.sh PREFIX WORKDIR [GENERATOR]   (GENERATOR: Ninja (default) or "Unix Makefiles")
# A no-op build runs nothing; touching the included IDL file runs kc again but, the header
# being the same, compiles nothing (Ninja: the header keeps its time stamp); changing it
# regenerates the header and recompiles the C++ that includes it.
set -euo pipefail
prefix=$1 work=$2 generator=${3:-Ninja}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cp -r "$here"/. "$work/src"
build=$work/build

fail() { echo "consumer ($generator): $*" >&2; exit 1; }
# Builds and keeps what was run in $log.
build() { cmake --build "$build" -- $([ "$generator" = Ninja ] && echo -v || echo VERBOSE=1) >"$work/log" 2>&1 || { cat "$work/log"; fail "build failed"; }; }
ran_kc() { grep -q -- '-MD -MF' "$work/log"; }
compiled() { grep -q -- '-c .*pet_impl.cpp' "$work/log"; }

cmake -S "$work/src" -B "$build" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
build
ran_kc && compiled || fail "first build did not run kc and the compiler"
"$build/pet_impl" | grep -q 'pet.xih included' || fail "the program did not run"
grep -q 'KAV_Scope void KAVLINK feed(Pet \*kavSelf' "$build/pet.xih" || fail "pet.xih lacks the override"
echo "consumer ($generator): first build ran kc and compiled pet_impl.cpp"

build
! ran_kc && ! compiled || fail "a no-op build ran something"
echo "consumer ($generator): no-op build ran nothing"

if [ "$generator" = Ninja ]; then
  before=$(stat -c %Y "$build/pet.xih")
  sleep 1 && touch "$work/src/idl/base.idl"
  build
  ran_kc || fail "touching the included IDL file did not run kc"
  ! compiled || fail "an unchanged header recompiled pet_impl.cpp"
  [ "$(stat -c %Y "$build/pet.xih")" = "$before" ] || fail "an unchanged header was rewritten"
  build
  ! ran_kc && ! compiled || fail "the build after a touch was not a no-op"
  echo "consumer ($generator): touching base.idl ran kc, kept pet.xih, compiled nothing"
fi

sleep 1 && sed -i 's/in long amount/in short amount/' "$work/src/idl/base.idl"
build
ran_kc && compiled || fail "changing the included IDL file did not regenerate and recompile"
grep -q 'short amount' "$build/pet.xih" || fail "pet.xih does not show the change"
build
! ran_kc && ! compiled || fail "the build after a change was not a no-op"
echo "consumer ($generator): changing base.idl regenerated pet.xih and recompiled pet_impl.cpp"
