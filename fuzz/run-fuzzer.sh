#!/usr/bin/env bash
# run-fuzzer.sh BINARY SEED_DIR WORK_DIR SECONDS
# Runs one libFuzzer target for a bounded time on a copy of its seed corpus.
# The test run fuzzes from a fixed seed, so that a finding shows again on the
# next run and a run that passed here passes on any machine as fast; set
# VERTAMO_FUZZ_SEED=0 for a random seed (longer runs that look for new faults).
set -euo pipefail
bin=$1 seeds=$2 work=$3 secs=$4
mkdir -p "$work"
if [ -d "$seeds" ]; then cp -n "$seeds"/* "$work"/ 2>/dev/null || true; fi
exec "$bin" -seed="${VERTAMO_FUZZ_SEED:-1}" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 "$work"
