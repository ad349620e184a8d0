#!/usr/bin/env bash
# Installs what is missing, builds, and starts the truss wizard Korrin (./run.sh vendel starts the
# plane-stress wizard Vendel). Without a display it solves the bundled example trusses with the
# batch tool instead, writing each report beside a copy of its analysis file under
# build/examples-run/ (./run.sh batch does that on a display too).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
program="${1:-korrin}"
if [ "$program" != "batch" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ ! -x "build/bin/$program" ]; then
    echo "run.sh: no program build/bin/$program (try korrin, vendel or batch)" >&2
    exit 2
  fi
  # The wizard starts the drawing host beside it (or attaches to a running one).
  exec "build/bin/$program"
fi
out="$PWD/build/examples-run"
rm -rf "$out"
mkdir -p "$out"
cp examples/*.krn "$out"/
for f in "$out"/*.krn; do
  build/bin/ardela solve "$f"
  echo "report: ${f%.krn}.prn"
done
if [ "$program" != "batch" ]; then
  echo "No display: the wizards need one. On a desktop, ./run.sh starts Korrin and ./run.sh vendel starts Vendel."
fi
