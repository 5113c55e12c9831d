#!/usr/bin/env bash
# Exports models with dor-sim --gltf and probes, then has Blender import them
# all in one run (blender_check.py): one armature with one bone per element,
# an action spanning the run, and the bones' tips where the probes put them.
#   blender_check.sh DOR_SIM DOR_IMPORT_QSM SOURCE_DIR WORK_DIR
# Exit 77 (skipped) when blender is not installed (tools/setup.sh installs it).
set -euo pipefail
sim=$1 import_qsm=$2 source=$3 work=$4

if ! command -v blender >/dev/null; then
  echo "SKIP: blender is not installed (tools/setup.sh installs it)"
  exit 77
fi
mkdir -p "$work"
rm -f "$work"/*.glb "$work"/*.csv

cases=()
export_model() {  # NAME TRE dor-sim options...
  local name=$1 tre=$2
  shift 2
  local elements
  elements=$("$sim" "$tre" --seconds 0 2>&1 >/dev/null | awk '/tree elements/ {print $1}')
  # Four elements across the file: the trunk, two between, the last.
  local probes=() k
  for k in $(printf '%s\n' 1 $((elements / 3)) $((2 * elements / 3)) "$elements" | awk '$1 >= 1' | sort -un); do
    probes+=(--probe "$k")
  done
  if ! "$sim" "$tre" "$@" "${probes[@]}" --csv "$work/$name.csv" --gltf "$work/$name.glb" \
      >/dev/null 2>"$work/$name.log"; then
    cat "$work/$name.log"
    echo "FAIL: dor-sim $tre $* did not export"
    exit 1
  fi
  cases+=("$work/$name.glb" "$work/$name.csv" "$elements" 2 30)
}
models=$source/assets
# Stepped at the export's rate, and at dor-sim's 25 a second (the export then
# interpolates; the rows on whole 30 Hz frames are compared).
export_model default "$models/prunus_cerasifera_nigra_reduced32.tre" --seconds 2 --fps 30 --wind gusty
export_model default_25 "$models/prunus_cerasifera_nigra_reduced32.tre" --seconds 2 --wind gusty
export_model mesh "$models/prunus_cerasifera_nigra_mesh.tre" --seconds 2 --fps 30 --wind gusty
export_model willow "$models/salix_babylonica.tre" --seconds 2 --fps 30 --wind storm
export_model twig "$models/twig.tre" --seconds 2 --fps 30 --wind storm
awk -f "$source/tests/gltf/scanned_tree.awk" >"$work/scan.csv"
"$import_qsm" "$work/scan.csv" -o "$work/scan.tre" >/dev/null
export_model scan "$work/scan.tre" --seconds 2 --fps 30 --wind gusty

# --python-use-system-env: a PYTHONPATH of the environment reaches Blender's Python.
blender -b --factory-startup --python-use-system-env --python-exit-code 1 \
  --python "$source/tests/gltf/blender_check.py" -- "${cases[@]}" 2>&1 |
  grep -v -e '^$' -e 'FutureWarning' -e 'numpy.bool = bool' -e '^Blender quit' || true
exit "${PIPESTATUS[0]}"
