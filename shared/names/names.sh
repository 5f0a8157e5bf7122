# Sourced by the scripts: the names they share with the programs, as shell variables of
# the same names (ZEPHRA_FRAME_TITLE, ZEPHRA_CARD_SERVICE, ...), read from Names.h.
#   source shared/names/names.sh
zephra_names_header="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/Names.h"
zephra_names_text=$(sed -n 's/^#define \(ZEPHRA_[A-Z0-9_]*\) "\([^"\\$`]*\)"$/\1="\2"/p' "$zephra_names_header")
# A string the pattern cannot take would silently go missing: refuse instead.
if [ "$(grep -c '^#define ZEPHRA_[A-Z0-9_]* "' "$zephra_names_header")" != \
     "$(grep -c . <<<"$zephra_names_text")" ]; then
  echo "names.sh: a string in $zephra_names_header is not a plain \"text\" line" >&2
  return 1 2>/dev/null || exit 1
fi
eval "$zephra_names_text"
unset zephra_names_header zephra_names_text
