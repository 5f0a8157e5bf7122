# Shared by the two bank fuzz scripts: bank-fuzz.sh FORMAT [options of fuzz-common.sh].
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
bank_format=$1; shift
zf_options "$bank_format" 15 "$@"
synth=$zf_root/card/synth
zf_flags=(-isystem /usr/include/stb)  # SoundFont 3's Vorbis decoder (libstb-dev)
zf_build "$zf_root/tools/fuzz/${bank_format}_fuzz.cpp" "$synth/BankLoad.cpp" "$synth/Bank.cpp" "$synth/Riff.cpp" \
  "$synth/Sf2.cpp" "$synth/Sf3.cpp" "$synth/StbVorbis.cpp" "$synth/Dls.cpp" "$zf_root/card/core/BankProbe.cpp" \
  "$zf_root/card/core/BankCost.cpp" -- "$zf_root/tools/fuzz/bank_fuzz.h" "$synth"/*.h "$zf_root/card/core/BankProbe.h" \
  "$zf_root/card/core/BankCost.h"

# Seeds: banks from the test-bank writer; SoundFont 3 ones encoded with libvorbis.
zf_bank_seeder || exit 1
"$zf_seeder" "$bank_format" "$zf_build_dir/seeds"
# Many small allocations a run: a smaller quarantine keeps the run well inside its memory limit.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32
zf_run -dict="$zf_root/tools/fuzz/bank.dict"
