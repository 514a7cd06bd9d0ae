#!/usr/bin/env bash
# Starts the probe from a folder whose Windows path is longer than 511 units, so that its own
# path does not fit the first buffer it asks Windows for, and checks that it reports the whole
# path. Wine refuses such paths in CreateProcessW, so the probe is started from the Linux side.
# Arguments: the probe, a scratch folder, the wine-run script.
set -euo pipefail
probe=$1 scratch=$2 wine_run=$3
deep=$scratch/long-exe-path
for _ in 1 2 3 4 5 6; do deep=$deep/$(printf 'v%.0s' $(seq 1 100)); done
rm -rf "$scratch/long-exe-path"
mkdir -p "$deep"
cp "$probe" "$deep/env_probe.exe"
trap 'rm -rf "$scratch/long-exe-path"' EXIT

expected="Z:${deep//\//\\}\\env_probe.exe"
reported=$(cd "$scratch" && VORA_PROBE_MODE=exe-path "$wine_run" "$deep/env_probe.exe" 2>&1)
if [ "$reported" != "$expected" ]; then
  printf 'expected %s (%d units)\nreported %s\n' "$expected" "${#expected}" "$reported"
  exit 1
fi
echo "the probe reported its whole path of ${#expected} units"
