#!/usr/bin/env bash
# build.sh DIR [cmake options...] -- configures DIR once and builds it incrementally.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
# ccache: paths relative to the checkout, so that a fresh clone (CI) hits the cache
# that an earlier build in another folder filled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
targets=()
if [ -n "${VERTAMO_TARGETS:-}" ]; then targets=(--target $VERTAMO_TARGETS); fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$dir" "${targets[@]}"
