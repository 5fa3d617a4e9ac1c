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
; Where earlier versions started halvora at log-on (removed on install).
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The scheduled task that starts halvora at every log-on with the highest
; rights the user has: an administrator gets them without a prompt.
!define TASK_NAME "Halvora"
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

!macro TaskLine TEXT
  FileWriteUTF16LE $0 '${TEXT}$\r$\n'
!macroend

; Registers the log-on task from a task definition written for the install
; folder, kept there as halvora-task.xml (to register it again by hand:
; schtasks /Create /TN Halvora /XML halvora-task.xml /F). A group principal (Users) with a log-on trigger runs it for whoever
; logs on, in that user's session; "HighestAvailable" gives an administrator
; the full rights without a prompt. No time limit, and it keeps running on
; battery power: that is when it is needed.
Function RegisterLogOnTask
  StrCpy $1 "$INSTDIR\halvora-task.xml"
  FileOpen $0 $1 w
  FileWriteWord $0 0xFEFF
  !insertmacro TaskLine '<?xml version="1.0" encoding="UTF-16"?>'
  !insertmacro TaskLine '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">'
  !insertmacro TaskLine '  <RegistrationInfo>'
  !insertmacro TaskLine '    <Author>Brantel</Author>'
  !insertmacro TaskLine '    <Description>Starts the Halvora UPS monitor at log-on with the rights it needs.</Description>'
  !insertmacro TaskLine '  </RegistrationInfo>'
  !insertmacro TaskLine '  <Triggers>'
  !insertmacro TaskLine '    <LogonTrigger>'
  !insertmacro TaskLine '      <Enabled>true</Enabled>'
  !insertmacro TaskLine '    </LogonTrigger>'
  !insertmacro TaskLine '  </Triggers>'
  !insertmacro TaskLine '  <Principals>'
  !insertmacro TaskLine '    <Principal id="Users">'
  !insertmacro TaskLine '      <GroupId>S-1-5-32-545</GroupId>'
  !insertmacro TaskLine '      <RunLevel>HighestAvailable</RunLevel>'
  !insertmacro TaskLine '    </Principal>'
  !insertmacro TaskLine '  </Principals>'
  !insertmacro TaskLine '  <Settings>'
  !insertmacro TaskLine '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>'
  !insertmacro TaskLine '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>'
  !insertmacro TaskLine '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>'
  !insertmacro TaskLine '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>'
  !insertmacro TaskLine '    <Priority>4</Priority>'
  !insertmacro TaskLine '    <Enabled>true</Enabled>'
  !insertmacro TaskLine '  </Settings>'
  !insertmacro TaskLine '  <Actions Context="Users">'
  !insertmacro TaskLine '    <Exec>'
  !insertmacro TaskLine '      <Command>$INSTDIR\halvora.exe</Command>'
  !insertmacro TaskLine '      <WorkingDirectory>$INSTDIR</WorkingDirectory>'
  !insertmacro TaskLine '    </Exec>'
  !insertmacro TaskLine '  </Actions>'
  !insertmacro TaskLine '</Task>'
  FileClose $0
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Create /TN "${TASK_NAME}" /XML "$1" /F'
  Pop $0
  StrCmp $0 0 done
  DetailPrint "schtasks: $0"
  MessageBox MB_OK|MB_ICONEXCLAMATION "The log-on task could not be registered ($0): halvora will not start at log-on." /SD IDOK
done:
FunctionEnd

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
  ; Started at every log-on by the task (no longer from the Run key).
  DeleteRegValue HKLM "${RUN_KEY}" "Halvora"
  Call RegisterLogOnTask

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
  ; The log-on task first: nothing starts halvora again while it goes.
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK_NAME}" /F'
  Pop $0
  Delete "$INSTDIR\halvora-task.xml"
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
