#!/usr/bin/env bash
# Checks the built uninstall.exe from the outside: a 64-bit GUI program with a 1 MiB stack
# reserve and 4 KiB commit, randomised 64-bit addresses, no code run from data, terminal-server
# aware, importing only Windows system DLLs, with no build path inside.
# Arguments: the exe, the source folder, the build folder.
set -euo pipefail
exe=$1 source_dir=$2 build_dir=$3
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
fail=0
problem() { echo "$*"; fail=1; }
expect() { grep -Eq "$1" <<<"$headers" || problem "missing in the PE header: $1"; }
expect '^Magic[[:space:]]+020b'
expect '^Subsystem[[:space:]]+00000002'
expect '^SizeOfStackReserve[[:space:]]+0+100000$'
expect '^SizeOfStackCommit[[:space:]]+0+1000$'
characteristics=$((16#$(awk '$1 == "DllCharacteristics" {print $2}' <<<"$headers")))
for flag in HIGH_ENTROPY_VA:0x20 DYNAMIC_BASE:0x40 NX_COMPAT:0x100 TERMINAL_SERVER_AWARE:0x8000; do
  (( (characteristics & ${flag#*:}) != 0 )) || problem "DllCharacteristics lacks ${flag%:*}"
done

imports=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
system_dlls='^(kernel32|ntdll|user32|advapi32|shell32|ole32|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$'
others=$(grep -Ev "$system_dlls" <<<"$imports" || true)
[ -z "$others" ] || problem "imports DLLs that are not part of Windows:" $others
grep -qx 'kernel32.dll' <<<"$imports" || problem "no kernel32.dll import"

for path in "$source_dir" "$build_dir" "$HOME"; do
  ! grep -Fq "$path" "$exe" || problem "the executable holds the absolute path $path"
done
[ "$fail" -eq 0 ] && echo "uninstall.exe: GUI, stack 1 MiB/4 KiB, ASLR, NX, TS-aware, imports: $(echo $imports)"
exit "$fail"
