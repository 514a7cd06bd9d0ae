#!/usr/bin/env bash
# Clears Vora's per-user state out of the project's own Wine prefix before the tests that need a
# prefix without any: what an earlier run of ours left there when it failed or was cut short (the
# registration, both shortcuts, %APPDATA%\Vora, the install folder, a running vora.exe) would
# otherwise look like a user's Vora, and the end-to-end case would skip in every run after it.
# Only a prefix inside the project's build folder is touched: those are ours and disposable.
# Argument: scripts/wine-run, which names the prefix as it does (VORA_WINEPREFIX or build/wine).
set -euo pipefail
wine_run=$1
root=$(cd "$(dirname "$wine_run")/.." && pwd)
# shellcheck source=scripts/lib/setup.sh
source "$root/scripts/lib/setup.sh"
prefix=$(realpath -m "${VORA_WINEPREFIX:-$root/build/wine}")
case "$prefix/" in
  "$root/build/"?*) ;;
  *) echo "refusing to clear $prefix: not a prefix of the project's build folder" >&2; exit 1 ;;
esac

"$wine_run" taskkill /F /IM vora.exe </dev/null >/dev/null 2>&1 || true
"$wine_run" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora' /f \
  </dev/null >/dev/null 2>&1 || true
for user in "$prefix"/drive_c/users/*/; do
  (cd "$user" && rm -rf "${VORA_USER_PLACES[@]}")
done
