#!/usr/bin/env bash
# The naming checks of .clang-tidy on the files changed since BASE (default: the commit
# before this one) and not yet committed, as far as the host build compiles them: a changed
# header brings the source of the same name. Where BASE is not in the history (a shallow
# clone), every file the host build compiles is checked.
#   tools/naming-check.sh HOST_BUILD_DIR [BASE]
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: naming-check.sh HOST_BUILD_DIR [BASE]}" && pwd)
base=${2:-${ZEPHRA_NAMING_BASE:-HEAD~1}}
cd "$root"
tidy=$(command -v clang-tidy || command -v clang-tidy-14) || {
  echo "naming-check: clang-tidy is missing (tools/setup.sh installs it)" >&2
  exit 1
}
[ -f "$build/compile_commands.json" ] || { echo "naming-check: no $build/compile_commands.json" >&2; exit 1; }
# The host build's own sources, the test programs and generated files aside.
mapfile -t compiled < <(sed -nE 's/^ *"file": "(.*)",?$/\1/p' "$build/compile_commands.json" |
  sed "s#^$root/##" | grep -vE '(_test|fuzz|/bench/|googletest|^/)' | sort -u)
if git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  mapfile -t changed < <({ git diff --name-only "$base" --; git ls-files --others --exclude-standard; } |
    sed -E 's/\.(h|cpp)$//' | sort -u)
  files=()
  for f in "${compiled[@]}"; do
    printf '%s\n' "${changed[@]}" | grep -qxF "${f%.cpp}" && files+=("$f")
  done
  what="changed since $(git rev-parse --short "$base")"
else
  files=("${compiled[@]}")
  what="all: $base is not in this clone's history"
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "naming-check: no compiled file changed ($what)"
  exit 0
fi
found=$("$tidy" -p "$build" --quiet "${files[@]}" 2>/dev/null | grep -E 'error:|warning:')
if [ -n "$found" ]; then
  echo "$found"
  echo "naming-check: ${#files[@]} files ($what): names off the layer's convention above" >&2
  exit 1
fi
echo "naming-check: ${#files[@]} files ($what): clean"
