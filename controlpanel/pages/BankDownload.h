// The instrument-bank download of the MIDI page and the file operations it uses: copying a
// bank, deleting one (at the next start when it is still in use) and WININIT.INI entries.
#pragma once
#include <windows.h>

// The Download button: choose a bank, load it through the wavetable device, keep its path.
void DownloadInstrumentBank(HANDLE wavetable);

// 1 when copied; 0 when either file cannot be opened.
int CopyBankFile(const char* source, const char* destination);
// 1 when the file is gone (or could not be deleted for a reason other than access denied),
// 0 when its deletion was scheduled for the next start.
int DeleteBankFile(const char* path);
// "NUL=path" in the section "Rename" of WININIT.INI.
int ScheduleDeleteOnRestart(const char* path);
// Takes back a deletion of path scheduled in WININIT.INI; 1 when none is left.
int KeepOnRestart(const char* path);
// key=value as the first entry of the section of the INI file, created when missing.
int AddIniLine(const char* section, const char* key, const char* value, const char* iniPath);
