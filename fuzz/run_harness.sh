#!/bin/sh
# Fuzzes one harness for a bounded time from a fresh copy of its seeds, so that the
# committed corpus never changes. What it finds is left in the work folder.
# usage: run_harness.sh HARNESS SEEDS WORK SECONDS
set -eu
harness=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/found"
cp "$seeds"/* "$work/corpus/"
exec "$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/found/" "$work/corpus"
