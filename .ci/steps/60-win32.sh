# The 32-bit Windows build: darurov.dll exports exactly `emit` (undecorated: cdecl), kavc.dll
# the host's functions; under wine, kc.exe writes what the native kc writes, byte for byte.
cmake -S . -B build-win32 -G Ninja --toolchain cmake/toolchains/i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DDARUROV_WERROR=ON
cmake --build build-win32
.ci/win32-exports.sh build-win32
.ci/win32-compare.sh build/kc build-win32/kc.exe
