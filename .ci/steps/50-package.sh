# The .deb and .tar.gz packages, and what the .deb holds.
(cd build-dist && cpack -G "DEB;TGZ")
deb=$(ls build-dist/darurov_*.deb)
dpkg-deb -c "$deb" | tee "$CI_SCRATCH/deb-contents"
multiarch=$(gcc -print-multiarch)
for f in ./usr/bin/kc "./usr/lib/$multiarch/libkavc.so.0" "./usr/lib/$multiarch/darurov/libdarurov.so" \
         ./usr/include/darurov/host/kavc.h ./usr/share/man/man1/kc.1.gz ./usr/share/doc/darurov/README.md \
         "./usr/lib/$multiarch/cmake/darurov/DarurovGenerate.cmake"; do
  grep -q " $f\( \|$\)" "$CI_SCRATCH/deb-contents" || { echo "not in $deb: $f" >&2; exit 1; }
done
dpkg-deb -f "$deb" Package Version Architecture Depends
tar -tzf build-dist/darurov-*.tar.gz >"$CI_SCRATCH/tgz-contents"
grep -q '/bin/kc$' "$CI_SCRATCH/tgz-contents"
