# The benchmarks build and their quick mode runs (a check that they work, not a timing test):
# kcbench runs kc on small generated inputs of every shape (1k and 10k operations) and fails if a
# run fails; emit_bench runs each in-process benchmark of emit briefly (Google Benchmark).
apt-get install -y -q --no-install-recommends libbenchmark-dev
cmake -S . -B build
cmake --build build --target kcbench emit_bench
build/bench/kcbench --quick
build/bench/emit_bench --benchmark_min_time=0.01
