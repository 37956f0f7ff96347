; Sonavi's installer: per user, no administrator rights, into
; %LOCALAPPDATA%\Programs\Sonavi, where the program can write its data files beside itself.
; One installer for 32-bit and 64-bit Windows: it installs the 64-bit exe on Windows for x64
; processors, the 32-bit one elsewhere (Windows on ARM included, where Windows 10 runs no
; x64 programs).
;
;   makensis -DEXE64=<x86_64 sonavi.exe> -DEXE32=<i686 sonavi.exe> -DVERSION_H=<the build's
;            resources/version.h> -DTEXTS=<the build's windows-texts folder>
;            -DOUTFILE=<setup.exe> sonavi.nsi
;
; Silent switches: /S installs or uninstalls without questions; the uninstaller's
; /APAGARDADOS also deletes the phone book, the call list and the settings. The uninstall
; entry's silent command runs the uninstaller in place ("_?=" and the install folder), so
; that it returns when it has finished, with its exit code (the plain /S goes on from a
; copy of itself and returns at once).

Unicode true
SetCompressor /SOLID lzma
; No file dates in the installer: building it twice gives the same bytes.
SetDateSave off
; A file that cannot be written ends the installation instead of being skipped.
AllowSkipFiles off
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include FileFunc.nsh
!include x64.nsh

; The version and the makers' notice as the build made them for the program.
!searchparse /file "${VERSION_H}" `#define SONAVI_VERSION_TEXT "` VERSION `"`
!searchparse /file "${VERSION_H}" `#define SONAVI_LEGAL_COPYRIGHT "` LEGAL_COPYRIGHT `"`
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sonavi"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Borvane\Sonavi"
!define UNINSTALLER "desinstalar.exe"

Name "Sonavi"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Sonavi"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Sonavi ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2070 "ProductName" "Sonavi"
VIAddVersionKey /LANG=2070 "CompanyName" "Borvane"
VIAddVersionKey /LANG=2070 "FileDescription" "Instalação do Sonavi"
VIAddVersionKey /LANG=2070 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2070 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2070 "LegalCopyright" "${LEGAL_COPYRIGHT}"

!define MUI_ICON "..\resources\sonavi.ico"
!define MUI_UNICON "..\resources\sonavi.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\sonavi.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Executar o Sonavi"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.DataPage un.DataPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Portuguese"

LangString SonaviRunning ${LANG_PORTUGUESE} "O Sonavi está em execução.$\r$\n$\r$\nTermine-o com $\"Sair$\" no menu do seu ícone, junto ao relógio, e carregue em Repetir."
LangString OptionsTitle ${LANG_PORTUGUESE} "Opções"
LangString OptionsSubtitle ${LANG_PORTUGUESE} "Arranque do Sonavi"
LangString StartWithWindows ${LANG_PORTUGUESE} "Iniciar o Sonavi com o Windows"
LangString InstallFolder ${LANG_PORTUGUESE} "O Sonavi será instalado em $INSTDIR, onde guarda também a agenda e a lista de chamadas."
LangString DataTitle ${LANG_PORTUGUESE} "Os seus dados"
LangString DataSubtitle ${LANG_PORTUGUESE} "A agenda, a lista de chamadas e as definições ficam guardadas, salvo se pedir o contrário."
LangString DeleteData ${LANG_PORTUGUESE} "Apagar também a agenda, a lista de chamadas e as definições"
LangString WriteFailed ${LANG_PORTUGUESE} "Não foi possível gravar os ficheiros do Sonavi em $INSTDIR.$\r$\n$\r$\nA instalação não foi concluída."
LangString DeleteFailed ${LANG_PORTUGUESE} "Não foi possível apagar $INSTDIR\sonavi.exe.$\r$\n$\r$\nO Sonavi não foi desinstalado."

Var StartWithWindows  ; 1: the Run value is written
Var DeleteData        ; 1: the uninstaller deletes the data files and the settings
Var Checkbox

; The program holds the named mutex "Sonavi" while it runs. Asks the user to end it and
; waits; unattended, waits up to two minutes, then gives up with exit code 2.
!macro WAIT_FOR_SONAVI un
Function ${un}WaitForSonavi
  StrCpy $1 0
  check:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Sonavi") p .r0'
    ${If} $0 = 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    ${If} ${Silent}
      ${If} $1 < 120
        IntOp $1 $1 + 1
        Sleep 1000
        Goto check
      ${EndIf}
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(SonaviRunning)" IDRETRY check
    ${EndIf}
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
!insertmacro WAIT_FOR_SONAVI ""
!insertmacro WAIT_FOR_SONAVI "un."

Function .onInit
  ; Ticked, unless an earlier installation is there without the Run value (the user
  ; chose so then).
  StrCpy $StartWithWindows 1
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${RUN_KEY}" "Sonavi"
  ${If} $0 != ""
  ${AndIf} $1 == ""
    StrCpy $StartWithWindows 0
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "$(OptionsTitle)" "$(OptionsSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(StartWithWindows)"
  Pop $Checkbox
  ${NSD_CreateLabel} 0 24u 100% 24u "$(InstallFolder)"
  Pop $0
  ${If} $StartWithWindows = 1
    ${NSD_Check} $Checkbox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $Checkbox $StartWithWindows  ; BST_CHECKED is 1, BST_UNCHECKED 0
FunctionEnd

Section "Sonavi"
  Call WaitForSonavi
  SetOutPath "$INSTDIR"
  ; Over an earlier installation only the program files are replaced: agenda.dat,
  ; listcham.dat and the settings stay.
  ClearErrors
  ${If} ${IsNativeAMD64}
    File "/oname=sonavi.exe" "${EXE64}"
  ${Else}
    File "/oname=sonavi.exe" "${EXE32}"
  ${EndIf}
  File "${TEXTS}\README.txt"
  File "${TEXTS}\NOTICE.txt"
  File "${TEXTS}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(WriteFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Sonavi.lnk" "$INSTDIR\sonavi.exe"

  ${If} $StartWithWindows = 1
    WriteRegStr HKCU "${RUN_KEY}" "Sonavi" '"$INSTDIR\sonavi.exe"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Sonavi"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Sonavi"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Borvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sonavi.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  StrCpy $DeleteData 0
  ${GetParameters} $0
  ; The copy that finishes an uninstall run in place (see the end of the section): it
  ; deletes the uninstaller as soon as that process has ended and its file can go, trying
  ; for up to a minute, then the folder if empty. It stops as soon as the entry names an
  ; install folder again: a new installation has begun there, whose files are not its own.
  ; Its own file goes a moment after it has ended, deleted by a hidden command prompt.
  ClearErrors
  ${GetOptions} $0 "/FINALIZAR" $1
  ${IfNot} ${Errors}
    ${For} $1 1 600
      ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
      ${If} $2 != ""
        ${Break}
      ${EndIf}
      Delete "$INSTDIR\${UNINSTALLER}"
      ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
        RMDir "$INSTDIR"
        ${Break}
      ${EndIf}
      Sleep 100
    ${Next}
    SetOutPath "$TEMP"  ; the prompt's working folder, not the install folder
    ExecShell "" "$SYSDIR\cmd.exe" '/d /c ping -n 3 127.0.0.1 >nul & del "$EXEPATH"' SW_HIDE
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/APAGARDADOS" $1
  ${IfNot} ${Errors}
    StrCpy $DeleteData 1
  ${EndIf}
FunctionEnd

Function un.DataPage
  !insertmacro MUI_HEADER_TEXT "$(DataTitle)" "$(DataSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(DeleteData)"
  Pop $Checkbox
  ${If} $DeleteData = 1
    ${NSD_Check} $Checkbox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.DataPageLeave
  ${NSD_GetState} $Checkbox $DeleteData
FunctionEnd

Section "Uninstall"
  Call un.WaitForSonavi
  ; The program first: while it cannot be deleted, the shortcut, the Run value and the
  ; entry stay, and the uninstaller can be run again.
  ; (Whether the file is still there: Delete does not raise the error flag for everything
  ; it cannot remove, a folder of that name for one.)
  Delete "$INSTDIR\sonavi.exe"
  ${If} ${FileExists} "$INSTDIR\sonavi.exe"
    MessageBox MB_OK|MB_ICONSTOP "$(DeleteFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\NOTICE.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\Sonavi.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Sonavi"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} $DeleteData = 1
    ; The program's files beside the exe (".tmp": a save cut short).
    Delete "$INSTDIR\agenda.dat"
    Delete "$INSTDIR\agenda.dat.tmp"
    Delete "$INSTDIR\listcham.dat"
    Delete "$INSTDIR\listcham.dat.tmp"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Borvane"
  ${EndIf}
  ; Run in place (the silent command of the entry), the uninstaller cannot delete its own
  ; file: a copy of it in the temporary folder deletes it once this process has ended.
  ; Without that copy, the uninstaller stays in the folder.
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    GetTempFileName $0
    ${If} $0 != ""
      ClearErrors
      CopyFiles /SILENT "$EXEPATH" "$0.exe"
      ${IfNot} ${Errors}
        ; Started outside the install folder, which it may then remove.
        SetOutPath "$TEMP"
        Exec '"$0.exe" /FINALIZAR _?=$INSTDIR'
      ${EndIf}
      ${If} ${Errors}
        Delete "$0.exe"
      ${EndIf}
      Delete $0
    ${EndIf}
  ${EndIf}
  ; Only when empty: kept data keeps the folder.
  RMDir "$INSTDIR"
SectionEnd
