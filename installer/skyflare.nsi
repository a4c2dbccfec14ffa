; skyflare.nsi --- the Sky Flare installer: the saver and its sample girls into the system directory.
;
; makensis -DARCH=x64|x86 -DSAVER=<SkyFlare.scr> -DGIRLS=<folder of lumidoll.*> -DOUTFILE=<setup.exe>
Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
!else
  !define PROGRAMS "$PROGRAMFILES"
!endif
!include "LogicLib.nsh"
!include "x64.nsh"

Name "Sky Flare"
Caption "Sky Flare screen saver setup"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS}\Sky Flare"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SkyFlare"
!define DESKTOP_KEY "Control Panel\Desktop"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Where the system finds the installed saver, in $0. The 32-bit installer on 64-bit Windows
; writes into the 32-bit system directory ($SYSDIR, redirected to SysWOW64); the 64-bit system
; that starts the saver looks in its own System32, so it is told the SysWOW64 path.
!macro SAVER_PATH
  StrCpy $0 "$SYSDIR\SkyFlare.scr"
  !if "${ARCH}" == "x86"
    ${If} ${RunningX64}
      StrCpy $0 "$WINDIR\SysWOW64\SkyFlare.scr"
    ${EndIf}
  !endif
!macroend

Section "Sky Flare"
  ; The saver and its girls live in the system directory, where the display settings and
  ; the saver itself look for them (for the 32-bit saver on 64-bit Windows, the 32-bit one).
  !insertmacro SAVER_PATH
  SetOutPath "$SYSDIR"
  File "${SAVER}"
  File "${GIRLS}\lumidoll.aur"
  File "${GIRLS}\lumidoll.mir"
  File "${GIRLS}\lumidoll.lyr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sky Flare screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Sky Flare developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.00"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  MessageBox MB_YESNO|MB_ICONQUESTION "Sky Flare is now your screen saver.$\n$\nChoose its girls now?" \
    /SD IDNO IDNO done
  Exec '"$0" /c'
  done:
SectionEnd

Section "Uninstall"
  ; The screen saver setting goes only if it still names this saver, as this installer wrote
  ; it, in its short form, or as the system directory path that earlier installers wrote.
  !insertmacro SAVER_PATH
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $2 "$0"
  ${If} $1 == "$0"
  ${OrIf} $1 == $2
  ${OrIf} $1 == "$SYSDIR\SkyFlare.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  Delete "$SYSDIR\SkyFlare.scr"
  Delete "$SYSDIR\lumidoll.aur"
  Delete "$SYSDIR\lumidoll.mir"
  Delete "$SYSDIR\lumidoll.lyr"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
