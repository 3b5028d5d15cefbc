#!/usr/bin/env bash
# Each libFuzzer target for a bounded time, seeded from the IDL files of tests/ and examples/.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
if command -v apt-get >/dev/null 2>&1; then
  apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
seconds="${FUZZ_SECONDS:-60}"
scratch="${CI_SCRATCH:-$(mktemp -d)}/fuzz"
cmake -S . -B build-fuzz -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DDARUROV_FUZZ=ON
cmake --build build-fuzz -j2 --target frontend_fuzzer class_graph_fuzzer
for target in frontend_fuzzer class_graph_fuzzer; do
  corpus="$scratch/$target"
  rm -rf "$corpus" && mkdir -p "$corpus"
  find tests examples -name '*.idl' -exec cp {} "$corpus/" \;
  echo "== $target: $seconds s"
  (cd "$scratch" && ASAN_OPTIONS=detect_leaks=1 "$OLDPWD/build-fuzz/fuzz/$target" "$corpus" \
     -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 \
     2>"$scratch/$target.log") || {
    # What went wrong first (a message's input can push it out of the tail), then the tail.
    grep -m 5 -E 'internal error|ERROR: |runtime error' "$scratch/$target.log" || true
    tail -60 "$scratch/$target.log"
    exit 1
  }
  grep -E '^stat::number_of_executed_units|^Done ' "$scratch/$target.log"
done
