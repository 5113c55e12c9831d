#!/usr/bin/env bash
# Exports every committed model and an imported scan (scanned_tree.awk
# through dor-import-qsm) with dor-sim --gltf and runs the Khronos
# glTF-Validator on the files: any error or warning fails.
#   validate_models.sh DOR_SIM DOR_IMPORT_QSM NODE_MODULES SOURCE_DIR WORK_DIR
# Exit 77 (skipped) when node or the validator is not installed
# (tools/setup.sh installs both).
set -euo pipefail
sim=$1 import_qsm=$2 modules=$3 source=$4 work=$5

if ! command -v node >/dev/null; then
  echo "SKIP: node is not installed (tools/setup.sh installs it)"
  exit 77
fi
if [ ! -f "$modules/gltf-validator/package.json" ]; then
  echo "SKIP: no gltf-validator in $modules (tools/setup.sh installs it)"
  exit 77
fi

mkdir -p "$work"
rm -f "$work"/*.glb
export_model() {  # NAME TRE dor-sim options...
  local name=$1 tre=$2
  shift 2
  if ! "$sim" "$tre" "$@" --gltf "$work/$name.glb" >/dev/null 2>"$work/$name.log"; then
    cat "$work/$name.log"
    echo "FAIL: dor-sim $tre $* did not export"
    exit 1
  fi
}
# Every model in the wind field (turbulence and gusts), 2 s at dor-sim's 25
# steps a second sampled at 30 a second; the default model also in the
# uniform wind, stepped and sampled at the same rate.
for tre in "$source"/assets/*.tre; do
  export_model "$(basename "$tre" .tre)" "$tre" --seconds 2 --wind gusty
done
export_model uniform_wind "$source/assets/prunus_cerasifera_nigra_reduced32.tre" --seconds 1 --fps 30
# The scan names the poplar's textures, which are in assets/.
awk -f "$source/tests/gltf/scanned_tree.awk" >"$work/scan.csv"
"$import_qsm" "$work/scan.csv" -o "$work/scan.tre" >/dev/null
(cd "$source/assets" && export_model scan "$work/scan.tre" --seconds 2 --wind gusty)
node "$source/tests/gltf/validate_gltf.js" "$modules" "$work"/*.glb
