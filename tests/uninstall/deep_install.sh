#!/usr/bin/env bash
# A silent uninstall from an installation folder whose parents hold Hungarian letters, a character
# beyond the Basic Multilingual Plane and cmd's special characters, so deep that the uninstaller's
# own path does not fit the first buffer of 512 units it asks Windows for. Wine refuses such paths
# in CreateProcessW, so the uninstaller and the running Vora are started from the Linux side. The
# run must end with 0 after every step. Wine's rmdir stops at 259 units, so neither the folder's
# removal nor its neighbours can be seen here: the silent end-to-end case sees both.
# First the same uninstaller without --silent and without a display, where Wine cannot show the
# confirmation: a box that cannot appear is no Yes, so that run changes nothing and ends with 0.
# Arguments: uninstall.exe, the stand-in tool (run as vora.exe), a scratch folder, wine-run.
set -euo pipefail
uninstall=$1 tool=$2 scratch=$3 wine_run=$4

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora'
base=$scratch/deep-install
parent=$base
for level in $(seq 16); do parent="$parent/Árvíztűrő tükör 😀 & (x) y^z $level"; done
dir=$parent/Vora
# Wine shows the Linux file system as drive Z:.
units=$(printf 'Z:%s/uninstall.exe' "$dir" | iconv -t UTF-16LE | wc -c)
[ $((units / 2)) -gt 512 ] || { echo "the path is not longer than 512 units"; exit 1; }

rm -rf "$base"
mkdir -p "$dir"
cp "$uninstall" "$dir/uninstall.exe"
cp "$tool" "$dir/vora.exe"
"$wine_run" reg add "$key" /v DisplayName /d Vora /f >/dev/null 2>&1
VORA_TOOL_MODE=sleep VORA_TOOL_SLEEP_MS=60000 "$wine_run" "$dir/vora.exe" >/dev/null 2>&1 &
vora_pid=$!
trap 'kill "$vora_pid" 2>/dev/null || true; rm -rf "$base"
  "$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true' EXIT

failed=0
fail() { echo "FAILED: $*"; failed=1; }
# The display is the Unix side's: Wine takes it from there, not from the Windows environment.
env -u DISPLAY "$wine_run" "$dir/uninstall.exe" </dev/null >/dev/null 2>&1 ||
  fail "exit status $? where the box cannot appear"
"$wine_run" reg query "$key" >/dev/null 2>&1 || fail "the registration went without a Yes"
kill -0 "$vora_pid" 2>/dev/null || fail "the running Vora was ended without a Yes"

"$wine_run" "$dir/uninstall.exe" --silent </dev/null >/dev/null 2>&1 || fail "exit status $?"
for _ in $(seq 50); do kill -0 "$vora_pid" 2>/dev/null && sleep 0.1; done
! kill -0 "$vora_pid" 2>/dev/null || fail "the running Vora was not ended"
! "$wine_run" reg query "$key" >/dev/null 2>&1 || fail "the registration is still there"
[ "$failed" -ne 0 ] || echo "uninstalled from a path of $((units / 2)) units"
exit "$failed"
