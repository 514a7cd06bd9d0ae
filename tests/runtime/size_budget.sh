#!/usr/bin/env bash
# The size budget of uninstall.exe: the whole file at most 192 KiB, its code and data at most
# 72 KiB. Code and data are every section but the resources (.rsrc), each at its size in memory:
# .bss and the import, relocation and unwind tables count, since they grow with the code; the
# headers and the file's alignment padding do not. Prints both figures as rows for scripts/bench
# (figure, ours, budget, target; in bytes) and exits non-zero when one is over its budget.
# Argument: the exe.
set -euo pipefail
exe=$1
file_budget=$((192 * 1024))
code_data_budget=$((72 * 1024))

file_bytes=$(stat -c %s "$exe")
code_data_bytes=0
while read -r _ name size _; do
  [ "$name" = .rsrc ] || code_data_bytes=$((code_data_bytes + 0x$size))
done < <(x86_64-w64-mingw32-objdump -h "$exe" | grep -E '^ +[0-9]+ ')

printf 'size: whole file, bytes (budget 192 KiB)\t%s\t%s\tratio<=1.00\n' "$file_bytes" "$file_budget"
printf 'size: code and data, every section but .rsrc, bytes (budget 72 KiB)\t%s\t%s\tratio<=1.00\n' \
  "$code_data_bytes" "$code_data_budget"

fail=0
[ "$file_bytes" -le "$file_budget" ] || {
  echo "over budget: the file has $file_bytes bytes, at most $file_budget allowed" >&2; fail=1; }
[ "$code_data_bytes" -le "$code_data_budget" ] || {
  echo "over budget: code and data have $code_data_bytes bytes, at most $code_data_budget allowed" >&2; fail=1; }
exit "$fail"
