# Installed into a temporary prefix with the multiarch library directory, then moved: the
# moved kc still finds libkavc and its plug-in, and writes the example's header.
multiarch=$(gcc -print-multiarch)
stage=$CI_SCRATCH/stage moved=$CI_SCRATCH/moved/usr
rm -rf "$stage" "$CI_SCRATCH/moved"
cmake --install build-dist --prefix "$stage"
for f in bin/kc "lib/$multiarch/libkavc.so.0" "lib/$multiarch/darurov/libdarurov.so" \
         include/darurov/host/kavc.h share/man/man1/kc.1.gz share/doc/darurov/platform.md \
         "lib/$multiarch/cmake/darurov/darurovConfig.cmake"; do
  [ -e "$stage/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
mkdir -p "$(dirname "$moved")" && mv "$stage" "$moved"
(cd "$CI_SCRATCH" && "$moved/bin/kc" -o moved-out "$OLDPWD/examples/animal.idl")
cmp "$CI_SCRATCH/moved-out/animal.xih" <(build/kc -o - examples/animal.idl)
echo "moved installation: $moved/bin/kc wrote animal.xih"
