# Sourced by the scripts: the catalogue's registry keys as shell variables of the catalogue's
# names, path only (catalogue_kCardPanel='Software\Orvane\Zephra\ControlPanel'), read from
# Catalogue.h, the way names.sh takes the shared names from Names.h.
#   source shared/settings/keys.sh
zephra_catalogue="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/Catalogue.h"
# Each Key on one line, however the header wraps it.
zephra_keys_text=$(tr '\n' ' ' < "$zephra_catalogue" | grep -oE 'Key k[A-Za-z0-9]+ *\{ *Root::[A-Za-z]+, *"[^"]*" *\}' |
  sed -E 's/^Key (k[A-Za-z0-9]+) *\{ *Root::[A-Za-z]+, *"([^"]*)" *\}$/catalogue_\1='"'"'\2'"'"'/; s/\\\\/\\/g')
# A key the pattern cannot take would silently go missing: refuse instead.
if [ "$(grep -cE '^inline constexpr Key k' "$zephra_catalogue")" != "$(grep -c . <<<"$zephra_keys_text")" ] ||
   grep -q "'.*'.*'" <<<"$zephra_keys_text"; then
  echo "keys.sh: a Key in $zephra_catalogue is not a plain {Root::..., \"path\"} line" >&2
  return 1 2>/dev/null || exit 1
fi
eval "$zephra_keys_text"
unset zephra_catalogue zephra_keys_text
# The form regedit's files and Wine's .reg stores use: each backslash doubled.
zephra_reg_escaped() { sed 's/\\/\\\\/g' <<<"$1"; }
