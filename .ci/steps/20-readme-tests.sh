# The README's test command, exactly as the README gives it: a Release build with g++, warnings
# as errors, and every test.
command='tools/setup-debian --tests && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDARUROV_WERROR=ON && cmake --build build && ctest --test-dir build --output-on-failure -j2'
grep -qxF "$command" README.md || { echo "README.md no longer gives this test command: $command" >&2; exit 1; }
tools/setup-debian --tests && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDARUROV_WERROR=ON && cmake --build build && ctest --test-dir build --output-on-failure -j2
