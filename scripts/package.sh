#!/usr/bin/env bash
# Builds the program and its Debian package build/reportgen_<version>_<arch>.deb, then
# checks the package with lintian. Install it with `sudo apt install ./build/reportgen_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target reportgen demo_db installed_demo_reports desktop_files
(cd build && cpack -G DEB -B "$PWD/package" >/dev/null)
deb=$(ls build/package/reportgen_*.deb)
mv "$deb" build/
lintian --fail-on error "build/$(basename "$deb")"
echo "build/$(basename "$deb")"
