# Everything CI uses, on a fresh Debian 12: the compilers (g++, clang with its sanitizer
# run-time), CMake, Ninja and Make, GoogleTest, binutils, the 32-bit MinGW-w64 cross compiler,
# wine for its programs, dpkg-dev for the package, and omniORB's IDL files (test inputs).
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends \
  cmake ninja-build make g++ clang libclang-rt-14-dev libgtest-dev binutils \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 dpkg-dev omniorb-idl \
  wine wine32:i386
