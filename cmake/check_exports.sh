#!/usr/bin/env bash
# Compares the dynamic symbols a library defines with its reviewed export list; prints both sides of any difference.
set -euo pipefail
lib=$1 list=$2
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | grep -v '^_init$\|^_fini$\|^_edata$\|^_end$\|^__bss_start$' | sort)
wanted=$(grep -E '^[A-Za-z_]' "$list" | sort)
if [ "$actual" != "$wanted" ]; then
  diff <(echo "$wanted") <(echo "$actual") | sed 's/^</missing:/; s/^>/extra:/' | grep -E '^(missing|extra)'
  exit 1
fi
echo "$(echo "$wanted" | wc -l) exports match $list"
