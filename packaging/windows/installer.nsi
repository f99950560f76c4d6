; The Windows installer of Quorvel, built by scripts/windows.sh (installer):
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.1.0 -DTARGET=amd64-unicode
;            -DFILES=DIR -DICON=quorvel.ico -DOUTFILE=setup.exe installer.nsi
;
; DIR holds quorvel.exe and quorvel-cli.exe. It installs for the current user
; alone, without administrator rights, into %LOCALAPPDATA%\Programs\Quorvel;
; installing again over an older version replaces it in place. The uninstaller
; removes the programs, the shortcuts and the uninstall key, and keeps the
; user's data in %LOCALAPPDATA%\Quorvel.

Unicode true
; The file is named ...-setup.exe, the name people look for; NSIS's warning
; that Windows applies compatibility shims to such names is taken knowingly.
!pragma warning disable 9000
Target ${TARGET}
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define PUBLISHER "The Quorvel developers"

Name "Quorvel"
OutFile "${OUTFILE}"
BrandingText "Quorvel ${VERSION}"
InstallDir "$LOCALAPPDATA\Programs\Quorvel"
; An upgrade goes where the installed version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Quorvel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Quorvel ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!include MUI2.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvel.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used where the system's language is neither:
; English, and Simplified Chinese for a Chinese system.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString ProgramSection ${LANG_ENGLISH} "Quorvel (required)"
LangString ProgramSection ${LANG_SIMPCHINESE} "Quorvel（必需）"
LangString DesktopSection ${LANG_ENGLISH} "Desktop shortcut"
LangString DesktopSection ${LANG_SIMPCHINESE} "桌面快捷方式"

Section "$(ProgramSection)" ProgramSection
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${FILES}\quorvel.exe"
  File "${FILES}\quorvel-cli.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Quorvel.lnk" "$INSTDIR\quorvel.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quorvel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Off unless the user ticks it.
Section /o "$(DesktopSection)" DesktopSection
  CreateShortCut "$DESKTOP\Quorvel.lnk" "$INSTDIR\quorvel.exe"
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\quorvel.exe"
  Delete "$INSTDIR\quorvel-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: whatever else is in it is the user's.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quorvel.lnk"
  Delete "$DESKTOP\Quorvel.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
