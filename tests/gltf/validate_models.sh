#!/usr/bin/env bash
# Exports every committed model with dor-sim --gltf and runs the Khronos
# glTF-Validator on the files: any error or warning fails.
#   validate_models.sh DOR_SIM NODE_MODULES SOURCE_DIR WORK_DIR
# Exit 77 (skipped) when node or the validator is not installed
# (tools/setup.sh installs both).
set -euo pipefail
sim=$1 modules=$2 source=$3 work=$4

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
node "$source/tests/gltf/validate_gltf.js" "$modules" "$work"/*.glb
