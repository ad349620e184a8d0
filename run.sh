#!/usr/bin/env bash
# Installs what is missing, builds, and solves the bundled example trusses with the batch tool,
# writing each report beside a copy of its analysis file under build/examples-run/; with the
# argument "vendel" it starts the plane-stress wizard instead.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
# "./run.sh vendel" starts the plane-stress wizard once the suite is built.
if [ "${1:-}" = vendel ]; then
  exec build/bin/vendel
fi
out="$PWD/build/examples-run"
rm -rf "$out"
mkdir -p "$out"
cp examples/*.krn "$out"/
for f in "$out"/*.krn; do
  build/bin/ardela solve "$f"
  echo "report: ${f%.krn}.prn"
done
