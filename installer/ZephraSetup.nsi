; Setup of the Resonix Trivox control panel and the (virtual) card's software.
; Built by installer/build-setup.sh: makensis -DBUILD=<windows build dir> -DOUTFILE=<setup.exe>.
; Run by hand, or silently with /S. Running it over an installation upgrades in place and
; leaves the user's settings alone (they are the program's, not ours).

; The 64-bit setup (-DWIN64) installs the 64-bit set; it can only be a Unicode program.
!ifdef WIN64
  Target amd64-unicode
  !define REGVIEW 64
  !define PROGRAMS "$PROGRAMFILES64"
!else
  Unicode false
  !define REGVIEW 32
  !define PROGRAMS "$PROGRAMFILES"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef BUILD
  !error "define BUILD, the Windows build directory"
!endif
!ifndef OUTFILE
  !define OUTFILE "ResonixTrivoxSetup.exe"
!endif

; Names the programs share with setup: their one definition is shared/names/Names.h.
!define NAMES_H "${__FILEDIR__}\..\shared\names\Names.h"
!searchparse /file "${NAMES_H}" '#define ZEPHRA_FRAME_TITLE "' FRAME_TITLE '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_CARD_SERVICE "' CARD_SERVICE '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_WAVE_VXD "' WAVE_VXD '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_DEMO_HELICOPTER "' DEMO_HELICOPTER '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_MIDI_DRIVER "' MIDI_DRIVER '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_WINE_AUDIO "' WINE_AUDIO '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_DEMO_BEES "' DEMO_BEES '"'
!searchparse /file "${NAMES_H}" '#define ZEPHRA_DEMO_RACE "' DEMO_RACE '"'

!define PRODUCT "Resonix Trivox"
!define VERSION "1.07.01"
!define PUBLISHER "Meridal Multimedia"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ResonixTrivox"
!define SERVICE_KEY "System\CurrentControlSet\Services\${CARD_SERVICE}"
; K3..K9 and their parents are the programs' own keys, passed by build-setup.sh from the
; settings catalogue.
!ifndef K3 | K4 | K5 | K6 | K9 | K3_PARENT | K6_PARENT | K9_PARENT
  !error "the registry keys come from the catalogue: build with installer/build-setup.sh"
!endif
!define WINE_DRIVERS "Software\Wine\Drivers"
; Wine's audio driver choice before ours, put back by the uninstaller ("-" when there was none).
!define MIDI_SETUP_KEY "${K9_PARENT}\Setup"

Name "${PRODUCT}"
Caption "${PRODUCT} Setup"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!include "${__FILEDIR__}\Rollback.nsh"

; Puts back the audio driver choice Wine had before our MIDI driver took its place.
!macro RestoreWineAudio
  ClearErrors
  ReadRegStr $0 HKLM "${MIDI_SETUP_KEY}" "PreviousWineAudio"
  IfErrors +5
    StrCmp $0 "-" 0 +3
      DeleteRegValue HKCU "${WINE_DRIVERS}" "Audio"
      Goto +2
    WriteRegStr HKCU "${WINE_DRIVERS}" "Audio" $0
  DeleteRegValue HKLM "${MIDI_SETUP_KEY}" "PreviousWineAudio"
  DeleteRegKey /ifempty HKLM "${MIDI_SETUP_KEY}"
!macroend

; The values and keys of the installation; the user's own settings are not among them.
!macro RemoveOurValues
  DeleteRegKey HKLM "${SERVICE_KEY}"
  ; A log-on start of a program that is gone would fail at every log-on.
  DeleteRegValue HKLM "${K5}" "ResonixTrivoxControl"
  DeleteRegValue HKLM "${K4}" "SoftwareVersion"
  DeleteRegValue HKLM "${K4}" "SoftwareUpdatedToVersion"
  DeleteRegKey /ifempty HKLM "${K4}"
  DeleteRegKey /ifempty HKLM "${K3}"
  DeleteRegKey /ifempty HKLM "${K3_PARENT}"
  DeleteRegValue HKLM "${K6}" "EnableDS3D"
  DeleteRegValue HKLM "${K6}" "SplashAudio"
  DeleteRegValue HKLM "${K6}" "SplashScreen"
  DeleteRegKey /ifempty HKLM "${K6}"
  DeleteRegValue HKLM "${K9}" "MidiDriverName"
  DeleteRegValue HKLM "${K9}" "WavetableDriverName"
  DeleteRegKey /ifempty HKLM "${K9}"
  DeleteRegKey /ifempty HKLM "${K9_PARENT}"
  DeleteRegKey /ifempty HKLM "${K6_PARENT}"
  DeleteRegKey HKLM "${UNINST_KEY}"
!macroend

; The registry view of the programs' settings, said once for the setup and the uninstaller:
; the 64-bit one wherever there is one (32-bit programs of ours on 64-bit Windows use it too).
!include "x64.nsh"
!macro PickRegView
  !if ${REGVIEW} == 64
    SetRegView 64
  !else
    ${If} ${RunningX64}
      SetRegView 64
    ${Else}
      SetRegView 32
    ${EndIf}
  !endif
!macroend
Function .onInit
  !insertmacro PickRegView
FunctionEnd
Function un.onInit
  !insertmacro PickRegView
FunctionEnd

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Ends a running control panel the way its own command line does, and waits for it.
!macro EndRunningPanel EXE
  FindWindow $0 "" "${FRAME_TITLE}"
  StrCmp $0 0 +4
    IfFileExists "${EXE}" 0 +3
      ExecWait '"${EXE}" /U'
      Sleep 500
!macroend

Section "Control panel and card software" SecMain
  SectionIn RO
  !insertmacro JournalBegin "${UNINST_KEY}"
  !insertmacro EndRunningPanel "$INSTDIR\ZephraCtrl.exe"

  !insertmacro PutFile "$INSTDIR" "${BUILD}\controlpanel\ZephraCtrl.exe" "ZephraCtrl.exe"
  !insertmacro PutFile "$INSTDIR" "${BUILD}\controlpanel\ZephraHook.dll" "ZephraHook.dll"
  ; The program does not start without its speaker-interface library.
  !insertmacro PutFile "$INSTDIR" "${BUILD}\controlpanel\Kv20DAL.dll" "Kv20DAL.dll"
  !if /FileExists "${BUILD}\controlpanel\l.wav"
    !insertmacro PutFile "$INSTDIR" "${BUILD}\controlpanel\l.wav" "l.wav"
  !endif
  !if /FileExists "${BUILD}\controlpanel\r.wav"
    !insertmacro PutFile "$INSTDIR" "${BUILD}\controlpanel\r.wav" "r.wav"
  !endif
  Push "$INSTDIR\help"
  Call JournalDir
  ; --- Help files (made by our help compiler). The control panel asks for help\ResonixTrivox.hlp,
  ; the player for the file named after it beside itself.
  !if /FileExists "${BUILD}\controlpanel\ResonixTrivox.hlp"
    !insertmacro PutFile "$INSTDIR\help" "${BUILD}\controlpanel\ResonixTrivox.hlp" "ResonixTrivox.hlp"
  !endif
  !if /FileExists "${BUILD}\player\TrivoxPlay.hlp"
    !insertmacro PutFile "$INSTDIR\demos" "${BUILD}\player\TrivoxPlay.hlp" "TrivoxPlay.hlp"
  !endif
  ; --- end of help files
  !if /FileExists "${BUILD}\player\TrivoxPlay.exe"
    !insertmacro PutFile "$INSTDIR\demos" "${BUILD}\player\TrivoxPlay.exe" "TrivoxPlay.exe"
  !endif
  ; Our demonstrations, and their sounds that are the player's samples, too.
  !macro DemoFile DIR NAME
    !if /FileExists "${BUILD}\player\${DIR}\${NAME}"
      !insertmacro PutFile "$INSTDIR\${DIR}" "${BUILD}\player\${DIR}\${NAME}" "${NAME}"
    !endif
  !macroend
  !insertmacro DemoFile "demos" "${DEMO_HELICOPTER}.exe"
  !insertmacro DemoFile "demos" "${DEMO_BEES}.exe"
  !insertmacro DemoFile "demos" "${DEMO_RACE}.exe"
  !insertmacro DemoFile "demos\sounds" "Rotor.wav"
  !insertmacro DemoFile "demos\sounds" "Engine.wav"
  !insertmacro DemoFile "demos\sounds" "Bee.wav"
  !insertmacro DemoFile "demos\sounds" "Bells.wav"
  !insertmacro DemoFile "demos\sounds" "Drums.wav"

  ; The card: kernel driver and its service, the wave device's DLL, the console tool. The
  ; image of a loaded driver cannot be replaced: it is stopped first and started again below.
  ExecWait '"$SYSDIR\sc.exe" stop ${CARD_SERVICE}'
  !insertmacro PutFile "$SYSDIR\drivers" "${BUILD}\card\driver\${CARD_SERVICE}.sys" "${CARD_SERVICE}.sys"
  !ifndef WIN64
    !insertmacro PutFile "$SYSDIR" "${BUILD}\card\wavedll\${WAVE_VXD}" "${WAVE_VXD}"
  !endif
  !insertmacro PutFile "$SYSDIR" "${BUILD}\card\cardctl\cardctl.exe" "cardctl.exe"
  WriteRegDWORD HKLM "${SERVICE_KEY}" "Type" 1
  WriteRegDWORD HKLM "${SERVICE_KEY}" "Start" 2
  WriteRegDWORD HKLM "${SERVICE_KEY}" "ErrorControl" 1
  WriteRegExpandStr HKLM "${SERVICE_KEY}" "ImagePath" "\SystemRoot\System32\drivers\${CARD_SERVICE}.sys"
  WriteRegStr HKLM "${SERVICE_KEY}" "DisplayName" "Virtual Trivox card"
  ; A service new to the service manager comes with the next session instead.
  ExecWait '"$SYSDIR\sc.exe" start ${CARD_SERVICE}'

  ; Values the installation owns.
  WriteRegStr HKLM "${K4}" "SoftwareVersion" "${VERSION}"
  !ifdef WIN64
    ; Wide strings in a Unicode setup; HKEY_LOCAL_MACHINE sign-extended, as the platform
    ; passes it; the 64-bit view named.
    System::Call 'advapi32::RegCreateKeyExW(p -2147483646, w "${K6}", i 0, p 0, i 0, i 0x0106, p 0, *p .r1, p 0) i .r0'
  !else
    System::Call 'advapi32::RegCreateKeyA(i 0x80000002, t "${K6}", *i .r1) i .r0'
  !endif
  StrCmp $0 0 0 +2
    System::Call 'advapi32::RegCloseKey(p r1)'
  ; The splash is on in a new installation; a later setup keeps the user's choice.
  ClearErrors
  ReadRegDWORD $0 HKLM "${K6}" "SplashAudio"
  IfErrors 0 +3
    WriteRegDWORD HKLM "${K6}" "SplashAudio" 1
    WriteRegDWORD HKLM "${K6}" "SplashScreen" 1
  WriteRegStr HKLM "${K9}" "MidiDriverName" "Zephra MPU-401"
  WriteRegStr HKLM "${K9}" "WavetableDriverName" "Zephra Wavetable"

  Push "$INSTDIR\uninstall.exe"
  Call JournalFile
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  IfErrors 0 +2
    Abort "Setup could not write $INSTDIR\uninstall.exe."
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\ZephraCtrl.exe,0"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The card's MIDI driver, which Wine loads as its audio driver (passing wave audio on to its
; own), and the default instrument bank the synthesizer loads at start.
Section "-MIDI driver and default bank" SecMidi
  !insertmacro PutFile "$SYSDIR" "${BUILD}\card\mididrv\${MIDI_DRIVER}" "${MIDI_DRIVER}"
  !insertmacro PutFile "$SYSDIR" "${BUILD}\card\mididrv\orvanegm" "orvanegm"
  ; An upgrade keeps the choice saved by the first installation.
  ClearErrors
  ReadRegStr $0 HKLM "${MIDI_SETUP_KEY}" "PreviousWineAudio"
  IfErrors 0 midi_saved
    ClearErrors
    ReadRegStr $0 HKCU "${WINE_DRIVERS}" "Audio"
    IfErrors 0 +2
      StrCpy $0 "-"
    StrCmp $0 "${WINE_AUDIO}" midi_saved
    WriteRegStr HKLM "${MIDI_SETUP_KEY}" "PreviousWineAudio" $0
  midi_saved:
  WriteRegStr HKCU "${WINE_DRIVERS}" "Audio" "${WINE_AUDIO}"
SectionEnd

; The card's Trivox device object with its measured HRTF sets, registered as a COM class:
; the player's Trivox engine is missing without it.
Section "-Trivox device object" SecTrivox
  !insertmacro PutFile "$INSTDIR\card" "${BUILD}\card\trivox\com\trivox3d.dll" "trivox3d.dll"
  ; Without a measured set the object falls back to its spherical head model.
  !ifdef HRTF_DIR
    !if /FileExists "${HRTF_DIR}\default-48000.mhr"
      !insertmacro PutFile "$INSTDIR\card" "${HRTF_DIR}\default-48000.mhr" "default-48000.mhr"
    !endif
    !if /FileExists "${HRTF_DIR}\default-44100.mhr"
      !insertmacro PutFile "$INSTDIR\card" "${HRTF_DIR}\default-44100.mhr" "default-44100.mhr"
    !endif
  !endif
  ClearErrors
  RegDLL "$INSTDIR\card\trivox3d.dll"
  IfErrors 0 +2
    Abort "Setup could not register the Trivox device object."
SectionEnd

; A setup that failed half way leaves the machine as it found it. (A cancel on the pages
; before the files comes before any change, so it has nothing to undo.)
Function .onInstFailed
  StrCmp $FreshInstall 1 0 files
    IfFileExists "$INSTDIR\card\trivox3d.dll" 0 files
      UnRegDLL "$INSTDIR\card\trivox3d.dll"
files:
  Call Rollback
  StrCmp $FreshInstall 1 0 restart
    !insertmacro RestoreWineAudio
    !insertmacro RemoveOurValues
    Goto done
restart:
  ExecWait '"$SYSDIR\sc.exe" start ${CARD_SERVICE}'  ; the old driver, stopped for the update
done:
FunctionEnd

; On by default: the player then offers both engines, so users can switch while a source plays.
Section "DirectSound 3D comparison in the Trivox Player" SecDS3D
  WriteRegDWORD HKLM "${K6}" "EnableDS3D" 1
SectionEnd

Section "un.Trivox device object"
  UnRegDLL "$INSTDIR\card\trivox3d.dll"
  Delete "$INSTDIR\card\trivox3d.dll"
  Delete "$INSTDIR\card\default-48000.mhr"
  Delete "$INSTDIR\card\default-44100.mhr"
  RMDir "$INSTDIR\card"
SectionEnd

Section "Uninstall"
  !insertmacro EndRunningPanel "$INSTDIR\ZephraCtrl.exe"

  Delete "$INSTDIR\ZephraCtrl.exe"
  Delete "$INSTDIR\ZephraHook.dll"
  Delete "$INSTDIR\Kv20DAL.dll"
  Delete "$INSTDIR\l.wav"
  Delete "$INSTDIR\r.wav"
  ; --- Help files
  Delete "$INSTDIR\help\ResonixTrivox.hlp"
  Delete "$INSTDIR\demos\TrivoxPlay.hlp"
  ; --- end of help files
  Delete "$INSTDIR\demos\TrivoxPlay.exe"
  Delete "$INSTDIR\demos\${DEMO_HELICOPTER}.exe"
  Delete "$INSTDIR\demos\${DEMO_BEES}.exe"
  Delete "$INSTDIR\demos\${DEMO_RACE}.exe"
  Delete "$INSTDIR\demos\sounds\Rotor.wav"
  Delete "$INSTDIR\demos\sounds\Engine.wav"
  Delete "$INSTDIR\demos\sounds\Bee.wav"
  Delete "$INSTDIR\demos\sounds\Bells.wav"
  Delete "$INSTDIR\demos\sounds\Drums.wav"
  RMDir "$INSTDIR\demos\sounds"
  RMDir "$INSTDIR\demos"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ExecWait '"$SYSDIR\sc.exe" stop ${CARD_SERVICE}'
  Delete /REBOOTOK "$SYSDIR\drivers\${CARD_SERVICE}.sys"
  !ifndef WIN64
    Delete /REBOOTOK "$SYSDIR\${WAVE_VXD}"
  !endif
  Delete "$SYSDIR\cardctl.exe"

  ; The MIDI driver goes, and Wine's own audio driver choice comes back.
  !insertmacro RestoreWineAudio
  Delete /REBOOTOK "$SYSDIR\${MIDI_DRIVER}"
  Delete "$SYSDIR\orvanegm"

  !insertmacro RemoveOurValues
SectionEnd
