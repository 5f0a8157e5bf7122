; What a setup changes, written down as it goes, so that a setup that fails half way puts the
; machine back as it was: every file it replaces is copied aside first, every file and
; folder it makes is noted, and a setup without an installation before it takes its values
; out again. The notes and copies live in $PLUGINSDIR, which goes when setup ends.
;   JournalBegin          first thing of the first section
;   PutFile DIR SRC NAME  a file of the build to DIR\NAME (instead of SetOutPath + File)
;   JournalFile           (function) a path about to be written by other means, on the stack
;   Rollback              (function) called from .onInstFailed
; Journal lines: a kind letter, a four-digit number, a space and the path.
;   D0000 path  folder made      N0000 path  file made      K0012 path  file replaced, kept as 12

!include "FileFunc.nsh"

Var JournalPath
Var JournalCount
Var FreshInstall  ; 1 when setup found no installation before it

!macro JournalBegin UNINST_KEY
  InitPluginsDir
  StrCpy $JournalPath "$PLUGINSDIR\journal.txt"
  StrCpy $JournalCount 0
  CreateDirectory "$PLUGINSDIR\kept"
  StrCpy $FreshInstall 0
  ClearErrors
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  IfErrors 0 +2
    StrCpy $FreshInstall 1
!macroend

!macro PutFile DIR SRC NAME
  Push "${DIR}"
  Call JournalDir
  Push "${DIR}\${NAME}"
  Call JournalFile
  SetOutPath "${DIR}"
  ClearErrors
  File "/oname=${NAME}" "${SRC}"
  IfErrors 0 +2
    Abort "Setup could not write ${DIR}\${NAME}."
!macroend

Function JournalLine  ; line on the stack, without its end
  Exch $R0
  Push $R1
  FileOpen $R1 "$JournalPath" a
  FileSeek $R1 0 END
  FileWrite $R1 "$R0$\r$\n"
  FileClose $R1
  Pop $R1
  Pop $R0
FunctionEnd

; Makes a folder and the missing ones above it, noting each, parents first.
Function JournalDir  ; folder on the stack
  Exch $R0
  Push $R1
  IfFileExists "$R0\*.*" done
  ${GetParent} "$R0" $R1
  StrCmp $R1 "" +3
    Push $R1
    Call JournalDir
  Push "D0000 $R0"
  Call JournalLine
  CreateDirectory "$R0"
done:
  Pop $R1
  Pop $R0
FunctionEnd

Function JournalFile  ; file path on the stack
  Exch $R0
  Push $R1
  Push $R2
  IfFileExists "$R0\*.*" done  ; a folder in the way: the write fails, nothing to keep
  IfFileExists "$R0" 0 made
    IntOp $JournalCount $JournalCount + 1
    IntFmt $R1 "%04d" $JournalCount  ; the copy's name, read back as text (a leading 0 is octal to IntOp)
    System::Call 'kernel32::CopyFileW(w "$R0", w "$PLUGINSDIR\kept\$R1", i 0) i .R2'
    StrCmp $R2 0 0 +2
      Abort "Setup could not keep a copy of $R0."
    Push "K$R1 $R0"
    Call JournalLine
    Goto done
made:
  Push "N0000 $R0"
  Call JournalLine
done:
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; Undoes the journal's lines of one kind ("F" for files, "D" for folders).
Function UndoJournal  ; kind on the stack
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  ClearErrors
  FileOpen $R1 "$JournalPath" r
  IfErrors done
next:
  ClearErrors
  FileRead $R1 $R2
  IfErrors close
  StrCpy $R3 $R2 1
  StrCpy $R4 $R2 -2 6  ; the path without the line's end
  StrCmp $R0 "D" 0 files
    StrCmp $R3 "D" 0 next
    RMDir "$R4"  ; only when empty: what others put there stays
    Goto next
files:
  StrCmp $R3 "N" 0 +3
    Delete "$R4"
    Goto next
  StrCmp $R3 "K" 0 next
    StrCpy $R3 $R2 4 1
    System::Call 'kernel32::CopyFileW(w "$PLUGINSDIR\kept\$R3", w "$R4", i 0) i .R3'
    Goto next
close:
  FileClose $R1
done:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

Function Rollback
  SetOutPath "$PLUGINSDIR"  ; no folder of ours held open as the current one
  Push "F"
  Call UndoJournal
  ; Folders were noted parents first: each pass removes one level from the bottom.
  Push "D"
  Call UndoJournal
  Push "D"
  Call UndoJournal
  Push "D"
  Call UndoJournal
  Push "D"
  Call UndoJournal
FunctionEnd
