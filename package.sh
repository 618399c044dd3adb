#!/usr/bin/env bash
# Installs what is missing, builds both programs for /usr in build-package/, and packs them as a
# Debian package here: sigrune_VERSION_ARCH.deb, to install with `apt install ./sigrune_*.deb`.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# A build of its own: the release notes' folder is compiled in, and must be the package's.
scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DSIGRUNE_BUILD_TESTS=OFF -DSIGRUNE_BUILD_BENCH=OFF
rm -rf build-package/cpack
cpack -G DEB --config build-package/CPackConfig.cmake -B build-package/cpack
mv -f build-package/cpack/sigrune_*.deb .
ls sigrune_*.deb
