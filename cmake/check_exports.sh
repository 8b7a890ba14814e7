#!/usr/bin/env bash
# Compares the dynamic symbols a library defines with its reviewed export list; prints both sides of any difference.
# C names must match exactly; a line `extern "C++" <pattern>` covers C++ symbols by their demangled names (a glob,
# or an exact name in quotes), and each such pattern must cover at least one symbol.
set -euo pipefail
lib=$1 list=$2
symbols=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' |
          grep -v '^_init$\|^_fini$\|^_edata$\|^_end$\|^__bss_start$' | sort || true)
wanted=$(grep -E '^[A-Za-z_]' "$list" | grep -v '^extern "C++" ' | sort || true)
mapfile -t patterns < <(grep -E '^extern "C\+\+" ' "$list" | sed 's/^extern "C++" //' || true)

status=0
actual_c=""
declare -A covered=()
while IFS= read -r symbol; do
  [ -z "$symbol" ] && continue
  if [ ${#patterns[@]} -eq 0 ] || grep -qxF -- "$symbol" <<<"$wanted"; then
    actual_c+="$symbol"$'\n'
    continue
  fi
  demangled=$(c++filt -- "$symbol")
  matched=0
  for pattern in "${patterns[@]}"; do
    if [[ $pattern == \"*\" ]]; then
      [ "$demangled" = "${pattern:1:${#pattern}-2}" ] && matched=1
    else
      # shellcheck disable=SC2053  # the pattern is a glob on purpose
      [[ $demangled == $pattern ]] && matched=1
    fi
    if [ $matched -eq 1 ]; then covered[$pattern]=1; break; fi
  done
  if [ $matched -eq 0 ]; then echo "extra:$symbol ($demangled)"; status=1; fi
done <<<"$symbols"

actual_c=$(printf '%s' "$actual_c" | sed '/^$/d' | sort)
if [ "$actual_c" != "$wanted" ]; then
  diff <(echo "$wanted") <(echo "$actual_c") | sed 's/^</missing:/; s/^>/extra:/' | grep -E '^(missing|extra)' || true
  status=1
fi
for pattern in "${patterns[@]}"; do
  if [ -z "${covered[$pattern]:-}" ]; then echo "missing: extern \"C++\" $pattern"; status=1; fi
done
[ $status -eq 0 ] && echo "$(echo "$wanted" | wc -l) C exports and ${#patterns[@]} C++ patterns match $list"
exit $status
