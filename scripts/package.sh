#!/bin/bash
# Builds the Debian package of KORIMA into build/package/ and checks it with lintian.
# Builds only what the package holds: the two programs, not the tools or the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
out=build/package
# Debian's hardening flags (PIE, RELRO, fortified functions, stack protector).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKORIMA_DEVELOPER_BUILD=OFF >/dev/null
cmake --build "$out" -j"$(nproc)"
rm -f "$out"/*.deb
(cd "$out" && cpack -G DEB >/dev/null)
deb=$(ls "$out"/korima_*.deb)
lintian --fail-on error,warning "$deb"
echo "$deb"
