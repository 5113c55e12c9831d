#!/usr/bin/env bash
# Installs what DOR needs, builds it and runs the viewer on the default model
# (or on the model given, a file name relative to assets/), with assets/ as
# the working directory.
#
# With an X display the two windows open as usual. Without one the viewer
# runs under Xvfb for a few seconds, a screenshot of both windows is saved
# and its file name printed, and the script ends.
#
#   tools/run.sh [--screenshot FILE.png] [--seconds N] [model.tre] [dor's options]
#   tools/run.sh --record OUT.mp4 --seconds T [--fps F] [model.tre] [dor's options]
#
# --screenshot and --seconds apply to the run without a display (defaults:
# build/dor-screenshot.png, 4 seconds). With --record the viewer records T
# simulated seconds into OUT.mp4 (docs/viewer.md#recording-a-video) and ends,
# with or without a display; --seconds is then the recording's. File names
# are relative to the folder the script is started from. DOR_BUILD_DIR and
# JOBS choose the build directory (build) and the parallel build jobs (all
# cores).
set -euo pipefail
CALLER=$(pwd)
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD="$ROOT/${DOR_BUILD_DIR:-build}"
SHOT="$BUILD/dor-screenshot.png"
SECONDS_TO_RUN=4
SECONDS_GIVEN=""
RECORD=""
ARGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) SHOT=$(cd "$CALLER" && realpath -m "$2"); shift 2 ;;
    --seconds) SECONDS_TO_RUN="$2"; SECONDS_GIVEN="$2"; shift 2 ;;
    --record) RECORD=$(cd "$CALLER" && realpath -m "$2"); shift 2 ;;
    *) ARGS+=("$1"); shift ;;
  esac
done
if [ -n "$RECORD" ]; then
  # The viewer checks the request itself (a missing --seconds included).
  ARGS+=(--record "$RECORD")
  if [ -n "$SECONDS_GIVEN" ]; then ARGS+=(--seconds "$SECONDS_GIVEN"); fi
fi

bash tools/setup.sh
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"${JOBS:-$(nproc)}" --target dor >/dev/null
DOR="$BUILD/dor"
cd "$ROOT/assets"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$DOR" "${ARGS[@]}"
fi

if [ -n "$RECORD" ]; then
  echo "run: no X display; recording under Xvfb"
  # The viewer ends by itself after the last frame. A request it refuses, or
  # an ffmpeg that fails, leaves it running without a recording: its line
  # ending "(not recording)" ends it here.
  xvfb-run -a -s "-screen 0 1400x1000x24" bash -c '
    coproc DOR { exec "$@" 2>&1; }
    pid=$DOR_PID
    while IFS= read -r line <&"${DOR[0]}"; do
      printf "%s\n" "$line"
      case "$line" in
        ERROR*"(not recording)"*) kill "$pid" 2>/dev/null || true ;;
      esac
    done
    wait "$pid"
  ' run "$DOR" "${ARGS[@]}"
  exit
fi

echo "run: no X display; running under Xvfb for $SECONDS_TO_RUN s"
mkdir -p "$(dirname "$SHOT")"
# Both windows: "DOR controls" 460 x 933 at (0, 0), "DOR viewport" 800 x 800
# at (472, 0).
xvfb-run -a -s "-screen 0 1400x1000x24" bash -c '
  "$1" "${@:4}" &
  pid=$!
  sleep "$2"
  import -window root -crop 1272x933+0+0 +repage "$3"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' run "$DOR" "$SECONDS_TO_RUN" "$SHOT" "${ARGS[@]}"
echo "run: screenshot saved to $SHOT"
