#!/usr/bin/env bash
# Proves that the committed icon is exactly what the committed generator makes, so that neither
# can be changed without the other.
# Usage: check_icon.sh GENERATOR COMMITTED_ICO
set -euo pipefail
fresh=$(mktemp "${TMPDIR:-/tmp}/vora-icon.XXXXXX")
trap 'rm -f "$fresh"' EXIT
"$1" "$fresh"
if ! cmp "$2" "$fresh"; then
  echo "$2 differs from what $1 writes; regenerate and commit it" >&2
  exit 1
fi
