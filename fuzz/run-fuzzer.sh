#!/usr/bin/env bash
# run-fuzzer.sh BINARY SEED_DIR WORK_DIR SECONDS
# Runs one libFuzzer target for a bounded time on a copy of its seed corpus.
set -euo pipefail
bin=$1 seeds=$2 work=$3 secs=$4
mkdir -p "$work"
if [ -d "$seeds" ]; then cp -n "$seeds"/* "$work"/ 2>/dev/null || true; fi
exec "$bin" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work"
