#!/usr/bin/env bash
# Runs the PNG decoder's fuzz target for a while, seeded with the test
# images. Usage: run.sh FUZZ_BINARY [SECONDS]. Exits non-zero on a crash.
set -euo pipefail
binary=$1
seconds=${2:-60}
here="$(cd "$(dirname "$0")" && pwd)"
corpus="$here/../../fuzz-corpus/png"
mkdir -p "$corpus"
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
cp "$here"/seeds/*.png "$seeds"/
# The model's textures, when there are any, are seeds too.
for f in "$here"/../../assets/*.png; do
  [ -e "$f" ] && [ "$(stat -c %s "$f")" -le 200000 ] && cp "$f" "$seeds"/
done
"$binary" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2560 -timeout=20 \
  -dict="$here/png.dict" -print_final_stats=1 "$corpus" "$seeds"
