#!/usr/bin/env bash
# Proves that the committed icon is exactly what the committed generator makes, so that neither
# can be changed without the other.
# Usage: check_icon.sh GENERATOR COMMITTED_ICO
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 GENERATOR COMMITTED_ICO" >&2
  exit 2
fi
generator=$1
committed=$2

fresh=$(mktemp "${TMPDIR:-/tmp}/vora-icon.XXXXXX")
trap 'rm -f "$fresh"' EXIT

if ! "$generator" "$fresh"; then
  echo "$generator failed" >&2
  exit 1
fi
if ! cmp "$committed" "$fresh"; then
  echo "$committed differs from what $generator writes; regenerate and commit it" >&2
  exit 1
fi
echo "$committed matches $generator"
