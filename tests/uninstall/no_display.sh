#!/usr/bin/env bash
# Without a display the confirmation cannot be shown, which counts as a No: nothing changes.
# Runs in a Wine prefix of its own, whose desktop has never seen a display.
# Arguments: uninstall.exe, the stand-in tool, the build folder, the wine-run script.
set -euo pipefail
uninstaller=$1 tool=$2 build=$3 wine_run=$4
export VORA_WINEPREFIX=$build/wine-no-display
unset DISPLAY
folder=$VORA_WINEPREFIX/drive_c/vora-no-display
trap 'rm -rf "$folder"; WINEPREFIX=$VORA_WINEPREFIX wineserver -k 2>/dev/null || true' EXIT

install() {
  rm -rf "$folder"
  mkdir -p "$folder/Vora"
  cp "$uninstaller" "$folder/Vora/uninstall.exe"
  cp "$tool" "$folder/Vora/vora.exe"
  for name in taskkill reg powershell cmd; do cp "$tool" "$folder/Vora/$name.exe"; done
}

# The stand-ins record each start in the log.
export VORA_TOOL_MODE=record 'VORA_TOOL_LOG=C:\vora-no-display\tools.log'
install
"$wine_run" "$folder/Vora/uninstall.exe" </dev/null >/dev/null 2>&1
if [ -e "$folder/tools.log" ]; then
  echo "a child ran although the confirmation could not be shown:"
  cat "$folder/tools.log"
  exit 1
fi

# The same installation, silent, does run the tools: the run above was not a broken set-up.
install
"$wine_run" "$folder/Vora/uninstall.exe" --silent </dev/null >/dev/null 2>&1
for _ in $(seq 1 50); do
  [ "$(grep -c '^cmdline' "$folder/tools.log" 2>/dev/null)" = 4 ] && break
  sleep 0.1
done
if [ "$(grep -c '^cmdline' "$folder/tools.log" 2>/dev/null)" != 4 ]; then
  echo "the silent run did not start its four children"
  exit 1
fi
echo "without a display nothing ran; with --silent all four children ran"
