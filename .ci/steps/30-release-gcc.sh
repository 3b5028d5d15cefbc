# A Release build with g++, warnings as errors, and its tests.
cmake -S . -B build-release-gcc -G Ninja -DCMAKE_BUILD_TYPE=Release -DDARUROV_WERROR=ON -DCMAKE_CXX_COMPILER=g++
cmake --build build-release-gcc
ctest --test-dir build-release-gcc --output-on-failure -j2
