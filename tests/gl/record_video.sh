#!/usr/bin/env bash
# Records videos with the real viewer (under Xvfb, started by ctest) and
# checks them with ffmpeg's own tools:
#   record_video.sh DOR DOR_PNG SOURCE_DIR video   2 s of the default model in
#     gusty wind: an H.264 MP4 of exactly 2 x 30 frames of the viewport's
#     size, every frame clearly different from the one before (the tree
#     moves);
#     then 1 s at --fps 12: 12 frames at 12 frames/s.
#   record_video.sh DOR DOR_PNG SOURCE_DIR png     the same without ffmpeg on
#     PATH: an ERROR line, then numbered PNG frames that DOR's decoder reads.
set -uo pipefail
DOR=$1 DOR_PNG=$2 SOURCE=$3 MODE=$4
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$SOURCE/assets" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the viewer; its console goes to $WORK/console. Returns its status.
record() {
  timeout 300 "$@" >"$WORK/console" 2>&1
  local status=$?
  grep -E "DOR: record|ERROR|WARNING" "$WORK/console" | sed 's/^/  | /' || true
  return $status
}

if [ "$MODE" = video ]; then
  for tool in ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (tools/setup.sh installs it)"; exit 1; }
  done
  OUT="$WORK/gusty.mp4"
  record "$DOR" --wind gusty --record "$OUT" --seconds 2 || fail "dor ended with status $?"
  grep -q "^DOR: recorded 60 frames (2 s at 30 frames/s, 800 x 800) to $OUT$" "$WORK/console" ||
    fail "no closing line naming $OUT"
  grep -q "^DOR: recording $OUT: [0-9]* % ([0-9]* of 60 frames)$" "$WORK/console" || fail "no progress line"
  grep -q "^ERROR" "$WORK/console" && fail "an ERROR line"

  probe=$(ffprobe -v error -count_frames -select_streams v:0 -of default=noprint_wrappers=1 \
    -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames "$OUT")
  echo "$probe" | sed 's/^/  ffprobe: /'
  for expected in codec_name=h264 width=800 height=800 pix_fmt=yuv420p r_frame_rate=30/1 nb_read_frames=60; do
    echo "$probe" | grep -qx "$expected" || fail "ffprobe: expected $expected"
  done

  # Consecutive frames differ in the upper 70 % of the picture, above the
  # overlay (whose frame-rate text changes on its own): the mean absolute
  # difference of their luma, 0 to 255, per pair. A tree that stands still
  # gives below 0.001 (the encoder's noise), the swaying tree above 1.
  ffmpeg -v error -i "$OUT" -vf "crop=iw:ih*7/10:0:0,tblend=all_mode=difference,signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=$WORK/difference" \
    -f null - || fail "ffmpeg: frame differences"
  differences=$(grep -o 'YAVG=.*' "$WORK/difference" | cut -d= -f2)
  pairs=$(echo "$differences" | wc -l)
  [ "$pairs" -eq 59 ] || fail "$pairs pairs of consecutive frames, not 59"
  still=$(echo "$differences" | awk '$1 < 0.1' | wc -l)
  [ "$still" -eq 0 ] || fail "$still frames hardly differ from the one before"
  echo "  smallest mean difference of consecutive frames: $(echo "$differences" | sort -g | head -1)"

  OUT12="$WORK/twelve.mp4"
  record "$DOR" --record "$OUT12" --seconds 1 --fps 12 || fail "dor --fps 12 ended with status $?"
  probe=$(ffprobe -v error -count_frames -select_streams v:0 -of default=noprint_wrappers=1 \
    -show_entries stream=r_frame_rate,nb_read_frames "$OUT12")
  for expected in r_frame_rate=12/1 nb_read_frames=12; do
    echo "$probe" | grep -qx "$expected" || fail "ffprobe --fps 12: expected $expected"
  done
elif [ "$MODE" = png ]; then
  # A PATH that holds no ffmpeg (the viewer needs no other program).
  mkdir "$WORK/bin"
  OUT="$WORK/frames.mp4"
  record env PATH="$WORK/bin" "$DOR" --record "$OUT" --seconds 0.5 --fps 6 || fail "dor ended with status $?"
  grep -q "^ERROR: ffmpeg is not on PATH: writing PNG frames $WORK/frames_00000.png" "$WORK/console" ||
    fail "no ERROR line about ffmpeg"
  grep -q "^DOR: recorded 3 frames (0.5 s at 6 frames/s, 800 x 800) to $WORK/frames_00000.png to $WORK/frames_00002.png$" \
    "$WORK/console" || fail "no closing line naming the frames"
  found=$(cd "$WORK" && ls frames_*.png | tr '\n' ' ')
  [ "$found" = "frames_00000.png frames_00001.png frames_00002.png " ] || fail "frames written: $found"
  [ -e "$OUT" ] && fail "$OUT was written"
  decoded=$("$DOR_PNG" "$WORK/frames_00002.png" "$WORK/last.rgba")
  [ "$decoded" = "$WORK/frames_00002.png: 800 x 800" ] || fail "dor-png: $decoded"
  # The top row is the viewport's background grey (0.9 x 255), not black.
  top=$(head -c 4 "$WORK/last.rgba" | od -An -tu1 | tr -s ' ')
  [ "$top" = " 230 230 230 255" ] || fail "top left pixel: $top"
else
  echo "unknown mode $MODE"
  exit 2
fi

[ "$failures" -eq 0 ] && echo "all checks passed"
[ "$failures" -eq 0 ]
