/* What the two peer test files take from elsewhere: the debug helper of the
 * platform's test header that a plain Windows runtime lacks, and the two
 * helpers that live in the capture test file, which is not built. */
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <mmsystem.h>

static char* next_slot(void) {
  static char ring[16][1024];
  static unsigned next;
  return ring[next++ % 16];
}

/* Formatted strings are printed at once: a ring of copies outlives them. */
const char* __cdecl __wine_dbg_strdup(const char* str) {
  char* slot = next_slot();
  strncpy(slot, str, 1023);
  slot[1023] = 0;
  return slot;
}

int align(int length, int align) { return (length / align) * align; }

const char* format_string(const WAVEFORMATEX* wfx) {
  char* slot = next_slot();
  snprintf(slot, 1024, "tag 0x%04x %lux%ux%u", wfx->wFormatTag, (unsigned long)wfx->nSamplesPerSec,
           wfx->wBitsPerSample, wfx->nChannels);
  return slot;
}
