#!/usr/bin/env bash
# Every fuzz target of this folder, one after another (the machine is shared: niced).
#   run-all.sh [--short | --long [SECONDS]]   (--short: the test script's bounded runs)
# Prints one line a target (executions, coverage, findings) and exits non-zero when any
# target found something; its input stays in build/fuzz-NAME/.
set -uo pipefail
dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mode=(--short)
if [ "${1:-}" = --long ]; then
  mode=(--long ${2:-600})
elif [ -n "${1:-}" ] && [ "$1" != --short ]; then
  echo "usage: run-all.sh [--short | --long [SECONDS]]" >&2
  exit 2
fi
failed=0
summary=()
for script in "$dir"/run-*-fuzz.sh; do
  name=$(basename "$script" .sh); name=${name#run-}; name=${name%-fuzz}
  echo "== $name ${mode[*]}"
  if nice -n 10 bash "$script" "${mode[@]}" > "/tmp/fuzz-$name-$$.log" 2>&1; then
    line=$(tail -1 "/tmp/fuzz-$name-$$.log")
  else
    failed=$((failed + 1))
    line="$name fuzz: FAILED; $(tail -1 "/tmp/fuzz-$name-$$.log")"
  fi
  echo "$line"
  summary+=("$line")
  rm -f "/tmp/fuzz-$name-$$.log"
done
echo
printf '%s\n' "${summary[@]}"
echo "fuzz targets: $((${#summary[@]} - failed)) without findings, $failed with findings"
[ "$failed" = 0 ]
