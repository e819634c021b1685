; The Windows installer of the TRK-7700 programs, built by
; scripts/make-windows-installer.sh, which defines:
;   VERSION  the programs' version, e.g. 1.12
;   BITS     32 or 64: the size of the programs and of the installer itself
;   STAGE    the folder holding the files to install, as they lie once installed
;   FILES    an include file naming them (made from STAGE): the macros
;            InstallFiles, RemoveFiles and, when the window is there, WINDOW
;   OUTFILE  the installer to write
; Silent use: trk7700-<version>-win<bits>-setup.exe /S /D=C:\Folder
; (/D last and unquoted); uninstall.exe /S removes it again.

Unicode true
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include ${FILES}

!if ${BITS} == 64
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\TRK-7700"
!else
  Target x86-unicode
  InstallDir "$PROGRAMFILES32\TRK-7700"
!endif

!define PRODUCT "TRK-7700"
!define PUBLISHER "TRK-7700 desktop team"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TRK-7700"
!define MENU_FOLDER "$SMPROGRAMS\TRK-7700"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} setup (${BITS}-bit)"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "2026 ${PUBLISHER}, MIT licence"

; Where GPSBabel was found, or empty, and what the closing page says of it.
Var GpsBabel
Var GpsBabelNote

!define MUI_ICON "${STAGE}/trk7700.ico"
!define MUI_UNICON "${STAGE}/trk7700.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "$(FinishTitle)"
!define MUI_FINISHPAGE_TEXT "$(FinishText)$\r$\n$\r$\n$GpsBabelNote"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_LINK "$(GpsBabelLink)"
!define MUI_FINISHPAGE_LINK_LOCATION "https://www.gpsbabel.org/download.html"
!define MUI_PAGE_CUSTOMFUNCTION_PRE FinishPre

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The system's language picks one of these; the window's captions are German.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString FinishTitle ${LANG_ENGLISH} "TRK-7700 ${VERSION} is installed"
LangString FinishTitle ${LANG_GERMAN} "TRK-7700 ${VERSION} ist installiert"
LangString FinishText ${LANG_ENGLISH} "The programs are in $INSTDIR and in the start menu under TRK-7700."
LangString FinishText ${LANG_GERMAN} "Die Programme liegen in $INSTDIR und im Startmenü unter TRK-7700."
LangString GpsBabelFound ${LANG_ENGLISH} "GPSBabel, which makes the KML, PLT and GPX files, was found: $GpsBabel"
LangString GpsBabelFound ${LANG_GERMAN} "GPSBabel, das die KML-, PLT- und GPX-Dateien macht, wurde gefunden: $GpsBabel"
LangString GpsBabelMissing ${LANG_ENGLISH} "GPSBabel was not found: without it a readout writes no KML, PLT or GPX files. Get it with the link below and put gpsbabel.exe into $INSTDIR or its folder on the PATH."
LangString GpsBabelMissing ${LANG_GERMAN} "GPSBabel wurde nicht gefunden: ohne GPSBabel schreibt ein Auslesen keine KML-, PLT- oder GPX-Dateien. GPSBabel gibt es über den Verweis unten; gpsbabel.exe nach $INSTDIR legen oder seinen Ordner in den PATH aufnehmen."
LangString GpsBabelLink ${LANG_ENGLISH} "Get GPSBabel"
LangString GpsBabelLink ${LANG_GERMAN} "GPSBabel holen"

; Where the programs look for gpsbabel.exe: beside them, then the search path;
; and where GPSBabel's own installer puts it.
Function FindGpsBabel
  StrCpy $GpsBabel ""
  ${If} ${FileExists} "$INSTDIR\gpsbabel.exe"
    StrCpy $GpsBabel "$INSTDIR\gpsbabel.exe"
  ${Else}
    SearchPath $GpsBabel "gpsbabel.exe"
  ${EndIf}
  ${If} $GpsBabel == ""
  ${AndIf} ${FileExists} "$PROGRAMFILES64\GPSBabel\gpsbabel.exe"
    StrCpy $GpsBabel "$PROGRAMFILES64\GPSBabel\gpsbabel.exe"
  ${EndIf}
  ${If} $GpsBabel == ""
  ${AndIf} ${FileExists} "$PROGRAMFILES32\GPSBabel\gpsbabel.exe"
    StrCpy $GpsBabel "$PROGRAMFILES32\GPSBabel\gpsbabel.exe"
  ${EndIf}
  ${If} $GpsBabel == ""
    StrCpy $GpsBabelNote "$(GpsBabelMissing)"
  ${Else}
    StrCpy $GpsBabelNote "$(GpsBabelFound)"
  ${EndIf}
FunctionEnd

Function FinishPre
  Call FindGpsBabel
FunctionEnd

Section "TRK-7700" SecPrograms
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The start menu: the window, a console for the command line, the README.
  ; Fixed names, so that the uninstaller finds them whatever its language.
  CreateDirectory "${MENU_FOLDER}"
  !ifdef WINDOW
    CreateShortCut "${MENU_FOLDER}\Wayfolk - Tool.lnk" "$INSTDIR\Wayfolk-Tool.exe" "" "$INSTDIR\Wayfolk-Tool.exe" 0
  !endif
  ; cmd removes the outer quotes of what follows /k and runs the rest.
  CreateShortCut "${MENU_FOLDER}\trk7700 (command line).lnk" "$SYSDIR\cmd.exe" \
    '/k "set "PATH=$INSTDIR;%PATH%" & cd /d "%USERPROFILE%" & trk7700 --help"' "$INSTDIR\trk7700.ico" 0
  CreateShortCut "${MENU_FOLDER}\README.lnk" "$INSTDIR\README.txt"

  ; Add/Remove programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (${BITS}-bit)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\trk7700.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://wayfolk.org/trk7700/"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

  ; Also said in silent runs, where no closing page is shown.
  Call FindGpsBabel
  DetailPrint "$GpsBabelNote"
SectionEnd

; Removes exactly what the installer put there: readouts, the history and
; anything else in the folder stay, and so does the folder then.
Section "Uninstall"
  SetShellVarContext all
  !insertmacro RemoveFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  !ifdef WINDOW
    Delete "${MENU_FOLDER}\Wayfolk - Tool.lnk"
  !endif
  Delete "${MENU_FOLDER}\trk7700 (command line).lnk"
  Delete "${MENU_FOLDER}\README.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd
