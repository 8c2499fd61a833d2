#!/usr/bin/env bash
# make-package.sh [BUILD_DIR]: builds what the Debian package holds (the
# programs, the man page; not the tests) and makes BUILD_DIR/vertamo_<version>_<arch>.deb,
# to install with `apt install ./vertamo_*.deb`. BUILD_DIR defaults to build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
"$root/tools/install-deps.sh"
VERTAMO_TARGETS=vertamo_package_files "$root/tools/build.sh" "$dir"
cd "$dir" && cpack
