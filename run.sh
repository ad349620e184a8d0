#!/usr/bin/env bash
# Installs what is missing, builds, and solves the bundled example trusses with the batch tool,
# writing each report beside a copy of its analysis file under build/examples-run/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
out="$PWD/build/examples-run"
rm -rf "$out"
mkdir -p "$out"
cp examples/*.krn "$out"/
for f in "$out"/*.krn; do
  build/bin/ardela solve "$f"
  echo "report: ${f%.krn}.prn"
done
