#!/usr/bin/env bash
# Installs what is missing, builds the optimised program and writes the Debian package
# build/package/private-folder-setup_<version>_<arch>.deb, then checks the package and its
# desktop files as Debian's tools see them.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build package

# Debian's compiler and linker hardening, as a Debian build of the package would have it.
# CMake reads CFLAGS, CXXFLAGS and LDFLAGS but not CPPFLAGS, so those go with the first two.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"

cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/*.deb
(cd build/package && cpack)

deb=$(echo build/package/private-folder-setup_*.deb)
staged=build/package/_CPack_Packages/Linux/DEB/private-folder-setup-*-Linux/usr/share
desktop-file-validate $staged/applications/*.desktop
appstreamcli validate --no-net $staged/metainfo/*.metainfo.xml
for page in $staged/man/man*/*.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings" >&2
        exit 1
    fi
done
lintian --fail-on error "$deb"
echo "$deb written"
