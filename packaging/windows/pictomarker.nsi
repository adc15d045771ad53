; Pictomarker's Windows installer: the filter plug-in into the photo editor's
; Plug-ins folder, PMKCmd (optionally on the user's PATH), the licence notices
; and an uninstaller.
;
; Everything lives in one folder, Pictomarker, inside the chosen Plug-ins
; folder:
;   PictomarkerPS.8bf, Pictomarker_loc.ini, README.md   the plug-in
;   pmk_cmd\PMKCmd.exe   the signer the plug-in starts; this folder, holding
;                        nothing else, is what goes on the PATH
;   licenses\            NOTICE.txt, GPL-3.0.txt and one folder per bundled
;                        library
;   Uninstall.exe
; so the editor finds the plug-in, there is one PMKCmd.exe, and the
; uninstaller removes that folder's files by name and never touches anything
; else in the user's Plug-ins folder.
;
; Every registry value is the installing user's (HKCU): the remembered
; Plug-ins folder, the PATH entry and the uninstall entry. Installing runs at
; the user's highest level, so an administrator installing into Program Files
; is elevated as themself, not as another account whose HKCU would then get
; them.
;
; Built by build-installer.sh, which stages the files and defines:
;   VERSION, VIVERSION   the project version, and as four numbers
;   STAGE                the staged folder: payload\, license-page.txt,
;                        install-files.nsh and uninstall-files.nsh
;   OUTFILE              the installer to write
;
; Command line: /S silent, /PATH puts PMKCmd on the PATH (preselects it in
; the dialog), /D=<Plug-ins folder> last.

Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel highest
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!define REGKEY "Software\Pictomarker"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pictomarker"

Name "Pictomarker ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Pictomarker ${VERSION}"
; The folder chosen last time; .onInit fills in a default when there is none.
InstallDirRegKey HKCU "${REGKEY}" "PluginsFolder"

VIProductVersion "${VIVERSION}"
VIAddVersionKey ProductName "Pictomarker"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Pictomarker ${VERSION} Setup"
VIAddVersionKey CompanyName "Pictomarker project"
VIAddVersionKey LegalCopyright "Copyright 2026 the Pictomarker project, GPL-3.0-or-later"

!define MUI_ABORTWARNING
; The GPL grants rights and asks for no acceptance: the page only informs.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Pictomarker is free software under the GNU General Public License, version 3 or later. You need not accept it to use the program."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/license-page.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the photo editor's Plug-ins folder. It differs from version to version, for example C:\Program Files\Adobe\Adobe Photoshop 2024\Plug-ins. Setup puts a folder Pictomarker into it and changes nothing else there."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-ins folder"
!define MUI_PAGE_HEADER_SUBTEXT "Choose the photo editor's Plug-ins folder."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckPluginsFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- The user's PATH (HKCU\Environment), for installer and uninstaller -----
;
; NSIS strings hold NSIS_MAX_STRLEN characters and longer ones are cut off
; without notice, so a Path that does not fit is never rewritten.

!macro PathFunctions un
; -> $R0 the user's Path; $R1 "" when read, "absent", or "unreadable" when
; there is a Path value that cannot be read whole (too long, or not a string).
Function ${un}ReadUserPath
  StrCpy $R1 ""
  ClearErrors
  ReadRegStr $R0 HKCU "Environment" "Path"
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  StrCpy $R0 ""
  StrCpy $R1 "absent"
  StrCpy $R2 0
  ${Do}
    EnumRegValue $R3 HKCU "Environment" $R2
    ${IfThen} $R3 == "" ${|} ${ExitDo} ${|}
    ${If} $R3 == "Path"
      StrCpy $R1 "unreadable"
      ${ExitDo}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd

; $R0 a Path, $R5 a folder -> $R0 the Path without the entries naming that
; folder (compared as Windows does, ignoring case; also with a trailing
; backslash), every other entry kept as it was, empty ones too; $R6 the
; number of entries dropped.
Function ${un}DropPathEntry
  StrCpy $R6 0
  StrCpy $R7 ""
  StrCpy $R8 $R0
  StrCpy $R9 "$R5\"
  ${Do}
    StrCpy $R2 0
    ${Do}
      StrCpy $R3 $R8 1 $R2
      ${If} $R3 == ""
      ${OrIf} $R3 == ";"
        ${ExitDo}
      ${EndIf}
      IntOp $R2 $R2 + 1
    ${Loop}
    StrCpy $R4 $R8 $R2
    ${If} $R4 == $R5
    ${OrIf} $R4 == $R9
      IntOp $R6 $R6 + 1
    ${Else}
      StrCpy $R7 "$R7;$R4"
    ${EndIf}
    ${IfThen} $R3 == "" ${|} ${ExitDo} ${|}
    IntOp $R2 $R2 + 1
    StrCpy $R8 $R8 "" $R2
  ${Loop}
  StrCpy $R0 $R7 "" 1
FunctionEnd

; Tells running programs (Explorer first) that the environment changed.
Function ${un}AnnounceEnvironment
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd
!macroend
!insertmacro PathFunctions ""
!insertmacro PathFunctions "un."

Function AddToUserPath
  StrCpy $R5 "$INSTDIR\Pictomarker\pmk_cmd"
  Call ReadUserPath
  ${If} $R1 == "unreadable"
    Goto too_long
  ${EndIf}
  StrCpy $R1 $R0
  Call DropPathEntry
  ${If} $R6 > 0
    DetailPrint "$R5 is already on the PATH."
    Return
  ${EndIf}
  StrLen $R2 $R1
  StrLen $R3 $R5
  IntOp $R2 $R2 + $R3
  ; With a separator the result must still fit, its terminator included.
  IntOp $R2 $R2 + 1
  ${If} $R2 >= ${NSIS_MAX_STRLEN}
    Goto too_long
  ${EndIf}
  ; Always with a separator of our own, even after a trailing ";": dropping
  ; the entry with it then gives back the user's Path exactly.
  ${If} $R1 == ""
    StrCpy $R0 $R5
  ${Else}
    StrCpy $R0 "$R1;$R5"
  ${EndIf}
  WriteRegExpandStr HKCU "Environment" "Path" $R0
  Call AnnounceEnvironment
  DetailPrint "Added $R5 to the PATH."
  Return
too_long:
  MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is too long for Setup to change it safely. Add $R5 to it yourself to run PMKCmd from anywhere." /SD IDOK
FunctionEnd

Function un.RemoveFromUserPath
  StrCpy $R5 "$INSTDIR\pmk_cmd"
  Call un.ReadUserPath
  ${If} $R1 == "unreadable"
    DetailPrint "The PATH is too long to change; remove $R5 from it yourself."
    Return
  ${EndIf}
  Call un.DropPathEntry
  ${IfThen} $R6 == 0 ${|} Return ${|}
  ${If} $R0 == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $R0
  ${EndIf}
  Call un.AnnounceEnvironment
FunctionEnd

; --- Installer ---------------------------------------------------------------

Section "Pictomarker plug-in and PMKCmd" SecMain
  SectionIn RO
  ; An earlier installation, here or in another Plug-ins folder, is removed
  ; first by its own uninstaller, so that what is installed is exactly this
  ; version's file list and there is one uninstall entry.
  ReadRegStr $0 HKCU "${REGKEY}" "PluginsFolder"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Pictomarker\Uninstall.exe"
    DetailPrint "Removing the earlier installation in $0\Pictomarker"
    ExecWait '"$0\Pictomarker\Uninstall.exe" /S _?=$0\Pictomarker'
    Delete "$0\Pictomarker\Uninstall.exe"
    RMDir "$0\Pictomarker"
  ${EndIf}

  !include "${STAGE}/install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Pictomarker\Uninstall.exe"

  WriteRegStr HKCU "${REGKEY}" "PluginsFolder" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "Pictomarker ${VERSION} (photo editor plug-in and PMKCmd)"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "Publisher" "Pictomarker project"
  WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR\Pictomarker"
  WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Pictomarker\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Pictomarker\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\Pictomarker" "/S=0K" $1 $2 $3
  WriteRegDWORD HKCU "${UNINSTKEY}" "EstimatedSize" $1
SectionEnd

Section /o "Put PMKCmd on the PATH (this user)" SecPath
  Call AddToUserPath
SectionEnd

; A folder that does not exist yet is more often a typing slip than a choice.
Function CheckPluginsFolder
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION "$INSTDIR does not exist, so it is not the photo editor's Plug-ins folder yet. Create it and install there?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Pictomarker needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
  ; Neither /D nor a remembered folder: the editor's own folder when it is
  ; registered (App Paths), else its usual place.
  ${If} $INSTDIR == ""
    ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\Photoshop.exe" "Path"
    StrCpy $1 $0 1 -1
    ${If} $1 == "\"
      StrCpy $0 $0 -1
    ${EndIf}
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Plug-ins\*.*"
      StrCpy $INSTDIR "$0\Plug-ins"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES64\Adobe\Adobe Photoshop\Plug-ins"
    ${EndIf}
  ${EndIf}
FunctionEnd

; --- Uninstaller ---------------------------------------------------------------
; $INSTDIR is the Pictomarker folder the uninstaller lies in.

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  !include "${STAGE}/uninstall-files.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever the user added to it stays.
  RMDir "$INSTDIR"
  Call un.RemoveFromUserPath
  DeleteRegKey HKCU "${UNINSTKEY}"
  DeleteRegKey HKCU "${REGKEY}"
SectionEnd
