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
; Windows sends the profile functions' reads and writes of a control.ini section named here to
; the registry key the value names: for this section, each user's own key. Without it, the
; saver's choices would go to C:\Windows\control.ini, which since Vista only an elevated
; program may change: the dialog would end with OK and keep nothing.
!define INI_MAPPING_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\IniFileMapping\control.ini"
!define SETTINGS_SECTION "Screen Saver.SkyFlare"
!define SETTINGS_MAPPING "USR:Control Panel\Screen Saver.SkyFlare"
!define USER_SETTINGS_KEY "Control Panel\Screen Saver.SkyFlare"

; Windows keeps a copy of the mappings; a profile write with every argument null renews it.
!macro FLUSH_INI_MAPPING
  System::Call 'kernel32::WritePrivateProfileStringW(p 0, p 0, p 0, p 0)'
!macroend

; A choice kept in control.ini before goes on into the installing user's own key, unless that
; key has its own already.
!macro CARRY_OVER NAME VALUE
  ClearErrors
  ReadRegStr $R3 HKCU "${USER_SETTINGS_KEY}" "${NAME}"
  ${If} ${Errors}
  ${AndIf} "${VALUE}" != ""
    WriteRegStr HKCU "${USER_SETTINGS_KEY}" "${NAME}" "${VALUE}"
  ${EndIf}
!macroend

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
  ; The mapping goes into the registry view this installer's saver reads, which is this
  ; installer's own: the 64-bit one for the x64 saver, the 32-bit one (WOW6432Node on 64-bit
  ; Windows) for the x86 saver. The choices control.ini holds are read first, while the file
  ; is still what the profile functions read, and carried into the installing user's key.
  ; Other users keep theirs too: the mapping has no "@", so Windows reads a value their key
  ; lacks from the file, until their first save keeps it in their key.
  ReadINIStr $R1 "$WINDIR\control.ini" "${SETTINGS_SECTION}" "Mode"
  ReadINIStr $R2 "$WINDIR\control.ini" "${SETTINGS_SECTION}" "Girl"
  WriteRegStr HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}" "${SETTINGS_MAPPING}"
  !insertmacro FLUSH_INI_MAPPING
  !insertmacro CARRY_OVER "Mode" $R1
  !insertmacro CARRY_OVER "Girl" $R2

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sky Flare screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Sky Flare developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.00"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; This setup runs as the account that gave it administrator rights. A standard user who typed
  ; an administrator's password gets the administrator's setting changed, not their own, and
  ; no plugin of this NSIS can reach the signed-in user's: the question says so.
  System::Call 'advapi32::GetUserNameW(w .R9, *i ${NSIS_MAX_STRLEN})'
  MessageBox MB_YESNO|MB_ICONQUESTION "Sky Flare is now the screen saver of $R9, the Windows account \
this setup runs as.$\n$\nIf you typed an administrator's password to install it, that account is not \
yours: choose Sky Flare and its girls in your own screen saver settings instead.$\n$\nChoose the girls \
for $R9 now?" /SD IDNO IDNO done
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
  ; The mapping goes only if it is still the one this installer wrote. The users' own settings
  ; keys stay: they are theirs, and a later install finds their choices again.
  ReadRegStr $3 HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}"
  ${If} $3 == "${SETTINGS_MAPPING}"
    DeleteRegValue HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}"
    !insertmacro FLUSH_INI_MAPPING
  ${EndIf}
  Delete "$SYSDIR\SkyFlare.scr"
  Delete "$SYSDIR\lumidoll.aur"
  Delete "$SYSDIR\lumidoll.mir"
  Delete "$SYSDIR\lumidoll.lyr"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
