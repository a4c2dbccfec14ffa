; skyflare.nsi --- the Sky Flare installer: the saver and its sample girls into the system directory.
;
; makensis -DARCH=x64|x86 -DRC=<resources/skyflare.rc> -DSAVER=<SkyFlare.scr>
;          -DGIRLS=<folder of lumidoll.*> -DPYTHON=<python3> -DPACKAGE=<tools/release/package.py>
;          -DOUTFILE=<setup.exe>
; Run with SOURCE_DATE_EPOCH set to the commit's time, by which the setup and its uninstaller
; are dated (the build runs it so).
!if "${ARCH}" == "x64"
  Unicode true
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
!else
  ; The 32-bit setup is also the one for the Windows 95 family, which runs no Unicode NSIS setup:
  ; an ANSI setup runs there and on every Windows NT alike.
  Unicode false
  !define PROGRAMS "$PROGRAMFILES"
!endif
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "x64.nsh"

; The version, the maker and the copyright are the saver's own, read from its version record.
!searchparse /file "${RC}" `VALUE "ProductVersion", "` VERSION `"`
!searchparse /file "${RC}" `PRODUCTVERSION ` V1 `,` V2 `,` V3 `,` V4 ``
!searchparse /file "${RC}" `VALUE "CompanyName", "` COMPANY `"`
!searchparse /file "${RC}" `VALUE "LegalCopyright", "` COPYRIGHT `"`

!include "${__FILEDIR__}/languages.nsh"

Name "Sky Flare ${VERSION}"
Caption "$(SETUP_CAPTION)"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS}\Sky Flare"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

; The setup's own version record, which Windows shows in the file's properties.
VIProductVersion "${V1}.${V2}.${V3}.${V4}"
VIFileVersion "${V1}.${V2}.${V3}.${V4}"
VIAddVersionKey "ProductName" "Sky Flare Screen Saver"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Sky Flare ${VERSION} screen saver setup"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

; makensis leaves in the PE header what its stub has there: the stub's own build time, and no
; checksum. The uninstaller (before it is packed into the setup, which writes it out as it is)
; and then the setup get the commit's time as their time stamp and their checksum filled in, and
; then, when the maintainer gives a certificate, their signature (which covers both).
!uninstfinalize '"${PYTHON}" "${PACKAGE}" pe-stamp "%1"' = 0
!uninstfinalize '"${PYTHON}" "${PACKAGE}" sign "%1"' = 0
!finalize '"${PYTHON}" "${PACKAGE}" pe-stamp "%1"' = 0
!finalize '"${PYTHON}" "${PACKAGE}" sign "%1"' = 0

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
  System::Call 'kernel32::WritePrivateProfileString(p 0, p 0, p 0, p 0)'
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

; The Windows 95 family keeps the chosen screen saver where Windows 3.1 kept it, as the key
; SCRNSAVE.EXE in SYSTEM.INI's [boot] section, in the short (8.3) form of its path that the
; Display control panel writes there. That panel has no switch of its own: a saver chosen is a
; saver on, and "(None)" takes the entry away and switches screen saving off, both through
; SystemParametersInfo. There is no IniFileMapping and no account to elevate: control.ini is an
; ordinary file, and the saver keeps its choices in it.
!define BOOT_INI "$WINDIR\system.ini"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_TELL 3  ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
; The saver that family had chosen before Sky Flare, for the uninstaller to choose again.
!define EARLIER_SAVER "EarlierScreenSaver"

; Whether $R6, a screen saver setting, names this saver ($0 its path), in $R8: as this installer
; writes it, in its short form, or as the system directory path that earlier installers wrote.
!macro NAMES_THIS_SAVER
  GetFullPathName /SHORT $R7 "$0"
  StrCpy $R8 0
  ${If} $R6 != ""
    ${If} $R6 == $R7
    ${OrIf} $R6 == $0
    ${OrIf} $R6 == "$SYSDIR\SkyFlare.scr"
      StrCpy $R8 1
    ${EndIf}
  ${EndIf}
!macroend

; Makes the installed saver ($0) the screen saver of the Windows 95 family, and switches it on.
; The saver chosen before is noted once: a second install over the first keeps the first note.
!macro CHOOSE_ON_95_FAMILY
  ClearErrors
  ReadINIStr $R6 "${BOOT_INI}" "boot" "SCRNSAVE.EXE"
  ${If} ${Errors}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "${EARLIER_SAVER}"
  ${Else}
    !insertmacro NAMES_THIS_SAVER
    ${If} $R8 == 0
      WriteRegStr HKLM "${UNINSTALL_KEY}" "${EARLIER_SAVER}" $R6
    ${EndIf}
  ${EndIf}
  GetFullPathName /SHORT $R7 "$0"
  WriteINIStr "${BOOT_INI}" "boot" "SCRNSAVE.EXE" $R7
  System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_TELL})'
!macroend

; While Sky Flare is still the chosen saver, chooses again the one chosen before it, or, if there
; was none, takes the entry away and switches screen saving off, as "(None)" does. A saver the
; user has chosen since stays, and so do the saver's choices in control.ini.
!macro RESTORE_ON_95_FAMILY
  ReadINIStr $R6 "${BOOT_INI}" "boot" "SCRNSAVE.EXE"
  !insertmacro NAMES_THIS_SAVER
  ${If} $R8 == 1
    ClearErrors
    ReadRegStr $R9 HKLM "${UNINSTALL_KEY}" "${EARLIER_SAVER}"
    ${If} ${Errors}
      DeleteINIStr "${BOOT_INI}" "boot" "SCRNSAVE.EXE"
      System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_TELL})'
    ${Else}
      WriteINIStr "${BOOT_INI}" "boot" "SCRNSAVE.EXE" $R9
    ${EndIf}
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
  ; the saver itself look for them (for the 32-bit saver on 64-bit Windows, the 32-bit one;
  ; on the Windows 95 family, C:\WINDOWS\SYSTEM).
  !insertmacro SAVER_PATH
  SetOutPath "$SYSDIR"
  File "${SAVER}"
  File "${GIRLS}\lumidoll.aur"
  File "${GIRLS}\lumidoll.mir"
  File "${GIRLS}\lumidoll.lyr"
  ${If} ${IsNT}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
    ; The mapping goes into the registry view this installer's saver reads, which is this
    ; installer's own: the 64-bit one for the x64 saver, the 32-bit one (WOW6432Node on 64-bit
    ; Windows) for the x86 saver. The choices control.ini holds are read first, while the file
    ; is still what the profile functions read, and carried into the installing user's key.
    ; Other users keep theirs too: the mapping has no "@", so Windows reads a value their key
    ; lacks from the file, until their first save keeps it in their key.
    ReadINIStr $R1 "$WINDIR\control.ini" "${SETTINGS_SECTION}" "Mode"
    ReadINIStr $R2 "$WINDIR\control.ini" "${SETTINGS_SECTION}" "Girl"
    ReadINIStr $R4 "$WINDIR\control.ini" "${SETTINGS_SECTION}" "Screens"
    WriteRegStr HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}" "${SETTINGS_MAPPING}"
    !insertmacro FLUSH_INI_MAPPING
    !insertmacro CARRY_OVER "Mode" $R1
    !insertmacro CARRY_OVER "Girl" $R2
    !insertmacro CARRY_OVER "Screens" $R4
  ${Else}
    !insertmacro CHOOSE_ON_95_FAMILY
  ${EndIf}

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sky Flare screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} ${IsNT}
    ; This setup runs as the account that gave it administrator rights. A standard user who
    ; typed an administrator's password gets the administrator's setting changed, not their
    ; own, and no plugin of this NSIS can reach the signed-in user's: the question says so.
    System::Call 'advapi32::GetUserName(t .R9, *i ${NSIS_MAX_STRLEN})'
    MessageBox MB_YESNO|MB_ICONQUESTION "$(CHOOSE_GIRLS_FOR_ACCOUNT)" /SD IDNO IDNO done
  ${Else}
    ; The Windows 95 family has one setting for whoever uses the computer.
    MessageBox MB_YESNO|MB_ICONQUESTION "$(CHOOSE_GIRLS)" /SD IDNO IDNO done
  ${EndIf}
  Exec '"$0" /c'
  done:
SectionEnd

Section "Uninstall"
  !insertmacro SAVER_PATH
  ${If} ${IsNT}
    ; The screen saver setting goes only if it still names this saver.
    ReadRegStr $R6 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    !insertmacro NAMES_THIS_SAVER
    ${If} $R8 == 1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
    ; The mapping goes only if it is still the one this installer wrote. The users' own
    ; settings keys stay: they are theirs, and a later install finds their choices again.
    ReadRegStr $3 HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}"
    ${If} $3 == "${SETTINGS_MAPPING}"
      DeleteRegValue HKLM "${INI_MAPPING_KEY}" "${SETTINGS_SECTION}"
      !insertmacro FLUSH_INI_MAPPING
    ${EndIf}
  ${Else}
    !insertmacro RESTORE_ON_95_FAMILY
  ${EndIf}
  Delete "$SYSDIR\SkyFlare.scr"
  Delete "$SYSDIR\lumidoll.aur"
  Delete "$SYSDIR\lumidoll.mir"
  Delete "$SYSDIR\lumidoll.lyr"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
