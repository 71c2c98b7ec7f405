; The installer of Quarnel Backup, built by scripts/package:
;   makensis -DVERSION=2.50 -DARCH=x86|x64 -DPAYLOAD=<folder> -DROOT=<repository> -DOUTFILE=<exe> quarnel.nsi
; PAYLOAD holds quarnel.exe, quarnel-export.exe, help.chm and skins\frmmain.skn of the build for ARCH.
; The x86 installer runs on Windows XP SP3 and later; the x64 one on 64-bit Windows.
; "/S" installs or uninstalls silently; "/D=<folder>" (last on the command line) picks
; the folder.

Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Quarnel Backup"
!define PUBLISHER "Quarnel"
!define WEBSITE "https://quarnel.example.org/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnel Backup"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TASK "Quarnel AutoBackup"
!define MENU_FOLDER "$SMPROGRAMS\Quarnel Backup"
; The Application event log's source of the scheduled backups' reports; quarnel.exe
; carries its message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Quarnel Backup"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if "${ARCH}" == "x64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "${ROOT}\res\quarnel.ico"
!define MUI_UNICON "${ROOT}\res\quarnel.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION}, which backs up and restores the mail, accounts, address book and settings of Outlook Express.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\quarnel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!define MUI_WELCOMEPAGE_TEXT "This will remove ${PRODUCT} ${VERSION} from your computer, together with its Start menu entries, its scheduled backup task ($\"${TASK}$\") and its start with Windows.$\r$\n$\r$\nYour backup files, your settings (settings.dat) and the log (brlog.dat) are kept.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_UNPAGE_WELCOME
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP "This installer is for 64-bit Windows. Please use quarnel-backup-${VERSION}-setup.exe." /SD IDOK
      Abort
    ${EndIf}
    SetRegView 64
  !endif
FunctionEnd

Function un.onInit
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PAYLOAD}\quarnel.exe"
  File "${PAYLOAD}\quarnel-export.exe"
  File "${PAYLOAD}\help.chm"
  SetOutPath "$INSTDIR\skins"
  File "${PAYLOAD}\skins\frmmain.skn"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\quarnel.exe"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT} Help.lnk" "$INSTDIR\help.chm"
  CreateShortcut "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quarnel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\quarnel.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  ; What the program set up for itself: the weekly task and the start with Windows.
  nsExec::Exec 'schtasks /delete /f /tn "${TASK}"'
  Pop $0
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"

  ; Only what the installer put there: settings.dat, brlog.dat and any backups written
  ; beside the program stay, and with them the folder.
  Delete "$INSTDIR\quarnel.exe"
  Delete "$INSTDIR\quarnel-export.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\skins\frmmain.skn"
  RMDir "$INSTDIR\skins"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\${PRODUCT} Help.lnk"
  Delete "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd
