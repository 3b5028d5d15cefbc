# A Release build with clang++, warnings as errors, and its tests.
cmake -S . -B build-release-clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DDARUROV_WERROR=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-release-clang
ctest --test-dir build-release-clang --output-on-failure -j2
