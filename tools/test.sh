#!/usr/bin/env bash
# Installs what DOR needs, builds it, and runs every test: the model and GL
# tests (the GL ones under Xvfb), the glTF export checked by the Khronos
# glTF-Validator and by Blender's importer, the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and a one-minute fuzz run
# of the PNG decoder.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)

bash tools/setup.sh --tests

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
echo "== tests"
(cd build && ctest --output-on-failure -j"$JOBS")

echo "== tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDOR_SANITIZE=ON -DDOR_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
(cd build-asan && ctest --output-on-failure -j"$JOBS")

echo "== fuzzing the PNG decoder"
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDOR_FUZZ=ON -DDOR_VIEWER=OFF -DDOR_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$JOBS" --target dor-fuzz-png
bash tests/fuzz/run.sh build-fuzz/tests/fuzz/dor-fuzz-png 60
echo "== all tests passed"
