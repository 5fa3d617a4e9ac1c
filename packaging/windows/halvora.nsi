; The Windows edition's installer, built on Linux by make_installer.cmake:
;   makensis -DQOR_VERSION=1.0 -DQOR_FILES=files.nsh -DQOR_OUTFILE=setup.exe halvora.nsi
; QOR_FILES holds the macros QorInstallFiles and QorDeleteFiles, written from
; the programs the cross-build made.
;
; Silent use: setup.exe /S, and "C:\Program Files\Brantel\Halvora\uninstall.exe" /S.

Unicode true
; 64-bit stubs: Debian's makensis makes 32-bit installers otherwise.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define QOR_KEY "Software\Brantel\Halvora\Qor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvoraQor"
; The title of halvora's hidden window, which halvstop closes.
!define TRAY_TITLE "HalvoraQor"

Name "Halvora Qor ${QOR_VERSION}"
OutFile "${QOR_OUTFILE}"
InstallDir "$PROGRAMFILES64\Brantel\Halvora"
ShowInstDetails show
ShowUninstDetails show

!include "${QOR_FILES}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; halvstop asks a running halvora to close; its files cannot be replaced or
; deleted before it has gone. Waits for its window at most 15 s.
!macro QorStopHalvoraFunction UN
Function ${UN}StopHalvora
  IfFileExists "$INSTDIR\halvstop.exe" 0 done
  ExecWait '"$INSTDIR\halvstop.exe"' $0
  StrCpy $1 0
wait:
  FindWindow $0 "" "${TRAY_TITLE}"
  StrCmp $0 0 done
  IntCmp $1 150 done
  IntOp $1 $1 + 1
  Sleep 100
  Goto wait
done:
FunctionEnd
!macroend
!insertmacro QorStopHalvoraFunction ""
!insertmacro QorStopHalvoraFunction "un."

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Halvora"
  Call StopHalvora
  !insertmacro QorInstallFiles

  ; The installer's two values of the program's key (both REG_DWORD).
  WriteRegDWORD HKLM "${QOR_KEY}" "RestoreSystemFile" 0
  WriteRegDWORD HKLM "${QOR_KEY}" "BootGUI" 1
  ; Started at every log-on.
  WriteRegStr HKLM "${RUN_KEY}" "Halvora" '"$INSTDIR\halvora.exe"'

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Halvora Qor UPS monitor"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${QOR_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Brantel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\halvora.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Call un.StopHalvora
  !insertmacro QorDeleteFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\English"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Brantel"

  DeleteRegValue HKLM "${RUN_KEY}" "Halvora"
  DeleteRegValue HKLM "${QOR_KEY}" "RestoreSystemFile"
  DeleteRegValue HKLM "${QOR_KEY}" "BootGUI"
  ; The settings the program wrote itself stay; the keys go once empty.
  DeleteRegKey /ifempty HKLM "${QOR_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Brantel\Halvora"
  DeleteRegKey /ifempty HKLM "Software\Brantel"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
