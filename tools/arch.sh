# Which Windows architectures this machine can run, sourced by the other scripts.
#   za_runs ARCH        true when Wine can run ARCH (i686 or x86_64) programs here
#   za_arches           the architectures that run, i686 first
#   za_default_arch     i686 where 32-bit code runs, else x86_64
#   za_why_not ARCH     one line: why ARCH cannot run here
# ZEPHRA_ARCHES (e.g. "x86_64") narrows the answer, to try a 64-bit-only machine's road.

# A static i386 ELF of 93 bytes that only exits 0: it needs no i386 package, and a kernel
# that runs 64-bit user code only refuses it with "Exec format error".
za_i386_probe() {
  local f rc
  f=$(mktemp /tmp/zephra-i386probe.XXXXXX)
  base64 -d > "$f" <<'ELF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAMdu4AQAAAM2A
ELF
  chmod +x "$f"
  "$f" 2>/dev/null; rc=$?
  rm -f "$f"
  return $rc
}

za_allowed() {
  [ -z "${ZEPHRA_ARCHES:-}" ] && return 0
  case " $ZEPHRA_ARCHES " in *" $1 "*) return 0 ;; esac
  return 1
}

za_runs() {
  za_allowed "$1" || return 1
  case "$1" in
    x86_64) [ "$(uname -m)" = x86_64 ] ;;
    i686)
      if [ -z "${ZA_I386_CACHED:-}" ]; then
        if za_i386_probe; then ZA_I386_CACHED=yes; else ZA_I386_CACHED=no; fi
      fi
      [ "$ZA_I386_CACHED" = yes ] ;;
    *) return 1 ;;
  esac
}

za_arches() {
  local a out=()
  for a in i686 x86_64; do za_runs "$a" && out+=("$a"); done
  echo "${out[*]}"
}

za_default_arch() {
  if za_runs i686; then echo i686; else echo x86_64; fi
}

za_why_not() {
  if ! za_allowed "$1"; then
    echo "$1: not run: ZEPHRA_ARCHES=\"$ZEPHRA_ARCHES\" leaves it out"
  elif [ "$1" = i686 ]; then
    echo "i686: not run: this machine runs 64-bit code only (an i386 program fails with \"Exec format error\")"
  else
    echo "$1: not run: this machine is $(uname -m), not x86_64"
  fi
}
