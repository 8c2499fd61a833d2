#!/usr/bin/env bash
# build.sh DIR [cmake options...] -- configures DIR and builds it incrementally.
# DIR is configured when it is new, and afresh (cmake --fresh: exactly the options
# given, so that a change of compiler keeps them too) whenever the options differ
# from the ones it was last configured with. Without options an already
# configured DIR keeps its settings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
# ccache: paths relative to the checkout, so that a fresh clone (CI) hits the cache
# that an earlier build in another folder filled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
targets=()
if [ -n "${VERTAMO_TARGETS:-}" ]; then targets=(--target $VERTAMO_TARGETS); fi
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "$@")
stamp="$dir/.vertamo-build-options"
wanted=$(printf '%s\n' "${options[@]}")
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "${options[@]}"
  printf '%s\n' "$wanted" > "$stamp"
elif [ $# -gt 0 ] && [ "$wanted" != "$(cat "$stamp" 2>/dev/null)" ]; then
  cmake --fresh -S "$root" -B "$dir" -G Ninja "${options[@]}"
  printf '%s\n' "$wanted" > "$stamp"
fi
cmake --build "$dir" "${targets[@]}"
