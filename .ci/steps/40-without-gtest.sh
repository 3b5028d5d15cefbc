# Configured as if GoogleTest were not installed, for /usr (Debian's multiarch library
# directory): the tools build, and nothing of the tests. The install and package steps use it.
cmake -S . -B build-dist -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_INSTALL_PREFIX=/usr | tee "$CI_SCRATCH/dist-configure.log"
grep -q 'GoogleTest not found' "$CI_SCRATCH/dist-configure.log"
cmake --build build-dist
[ -x build-dist/kc ] && [ ! -e build-dist/tests/unit_tests ]
build-dist/kc -o "$CI_SCRATCH/dist-out" examples/animal.idl
cmp "$CI_SCRATCH/dist-out/animal.xih" <(build/kc -o - examples/animal.idl)
