#!/usr/bin/env bash
# Builds Dravolin for Linux and runs it on the sample machine in examples/:
# a copy of the image is made under build/sample-run, so the example stays as
# it is. Prints the console, then the log, then the tree of copied drivers.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh >/dev/null 2>&1 || true
cmake --preset host >/dev/null
cmake --build --preset host --target dravolin >/dev/null

run=build/sample-run
rm -rf "$run"
mkdir -p "$run"
cp -a examples/sample-machine "$run/image"

echo "== Console"
set +e
(cd "$run" && ../host/dravolin --image image)
code=$?
set -e
echo "== Exit code: $code"
echo "== Dravolin.log"
tr -d '\r' < "$run/Dravolin.log"
echo "== Copied drivers"
drivers="$run/image/drive_c/Program Files/Tessaro/Pelvane/Tessaro/Drivers"
(cd "$drivers" && find . -mindepth 1 | sort | sed 's|^\./||')
