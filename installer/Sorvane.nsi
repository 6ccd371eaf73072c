; Sorvane's setup: a per-user installation that makes Sorvane the current
; screen saver and can be removed again. One script for both architectures:
;   makensis -DVERSION=1.0.0 -DARCH=win64|win32 -DBINDIR=<folder with Sorvane.scr,
;            Sorvane.dll, SorvaneSettings.exe and CloseSorvane.exe>
;            -DOUTFILE=<setup.exe> [-DSIGN=<command that signs the file it is given>]
;            Sorvane.nsi
!ifndef VERSION
  !error "VERSION, ARCH, BINDIR and OUTFILE must be defined"
!endif
!ifndef ARCH
  !error "VERSION, ARCH, BINDIR and OUTFILE must be defined"
!endif
!ifndef BINDIR
  !error "VERSION, ARCH, BINDIR and OUTFILE must be defined"
!endif
!ifndef OUTFILE
  !error "VERSION, ARCH, BINDIR and OUTFILE must be defined"
!endif

!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" == "win32"
  Target x86-unicode
!else
  !error "ARCH is win64 or win32"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "Sorvane"
!define PUBLISHER "Sorvane Project"
!define HOMEPAGE "https://sorvane.example/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorvane"
; What the screen saver was before Sorvane, for the uninstaller to give back.
!define STATE_KEY "Software\Sorvane\Setup"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17

; The uninstaller is written out at install time, but its bytes are made here:
; makensis runs SIGN on it before packing it, so WriteUninstaller writes the
; signed file. (The programs come signed in BINDIR; the setup is signed after.)
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Per user: the settings file beside the program must stay writable, which it
; is not in Program Files or the system folder.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Sorvane"
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} (${ARCH}) setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Sorvane.scr"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "$(OpenSettings)"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The setup speaks the user's language where it can (the saver itself is
; Japanese); any other system gets the first one.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString OpenSettings ${LANG_JAPANESE} "Sorvane の設定を開く"
LangString OpenSettings ${LANG_ENGLISH} "Open Sorvane's settings"
LangString ShortcutHelp ${LANG_JAPANESE} "Sorvane スクリーンセーバーの設定"
LangString ShortcutHelp ${LANG_ENGLISH} "Settings of the Sorvane screen saver"
LangString CloseAsk ${LANG_JAPANESE} "Sorvane（設定画面またはスクリーンセーバー）が開いています。続けるには Sorvane を閉じます（保存していない設定は失われます）。$\r$\n$\r$\nSorvane を閉じて続けますか？"
LangString CloseAsk ${LANG_ENGLISH} "Sorvane is open (its settings or the screen saver). To go on, it must be closed; settings not yet saved are lost.$\r$\n$\r$\nClose Sorvane and go on?"
LangString CloseFailed ${LANG_JAPANESE} "Sorvane を閉じられませんでした。Sorvane を閉じてから［再試行］を押してください。"
LangString CloseFailed ${LANG_ENGLISH} "Sorvane could not be closed. Close it yourself, then choose Retry."
LangString KeptOpen ${LANG_JAPANESE} "Sorvane が開いているため、何も変更しませんでした。"
LangString KeptOpen ${LANG_ENGLISH} "Sorvane is still open: nothing was changed."
LangString WriteFailed ${LANG_JAPANESE} "$INSTDIR にファイルを書き込めませんでした。何も変更していません。"
LangString WriteFailed ${LANG_ENGLISH} "The files could not be written to $INSTDIR: nothing was changed."
LangString RemoveFailed ${LANG_JAPANESE} "$INSTDIR のファイルを削除できませんでした。Sorvane はプログラムの一覧に残ります。Sorvane を閉じてから、もう一度削除してください。"
LangString RemoveFailed ${LANG_ENGLISH} "Files in $INSTDIR could not be removed, so Sorvane stays in the list of programs. Close Sorvane and remove it again."
LangString Use64Bit ${LANG_JAPANESE} "これは 32 ビット版です。64 ビット版の Windows には Sorvane-${VERSION}-win64-setup.exe をお使いください。$\r$\n$\r$\nこのまま 32 ビット版をインストールしますか？"
LangString Use64Bit ${LANG_ENGLISH} "This is the 32-bit version. On 64-bit Windows, use Sorvane-${VERSION}-win64-setup.exe instead.$\r$\n$\r$\nInstall the 32-bit version anyway?"

Function .onInit
!if "${ARCH}" == "win32"
  ; The 32-bit saver runs on 64-bit Windows too: ask, and install if the user
  ; agrees (a silent installation goes ahead, as its caller chose this file).
  ${If} ${RunningX64}
    MessageBox MB_YESNO|MB_ICONQUESTION "$(Use64Bit)" /SD IDYES IDYES +2
    Abort
  ${EndIf}
!endif
FunctionEnd

; $0 := how the system names the saver when the volume has 8.3 names: the short
; path, as the display settings write it; otherwise the long one.
!macro SaverName un
Function ${un}SaverName
  GetFullPathName /SHORT $0 "$INSTDIR\Sorvane.scr"
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR\Sorvane.scr"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro SaverName ""
!insertmacro SaverName "un."

; Ends the Sorvane processes of $INSTDIR before its files change: a preview at
; once (the display settings start it again), a settings dialog or a run after
; asking (a silent setup closes them). Aborts with nothing changed when the
; user says no or one will not end. A helper of ours does the finding, since
; toolhelp's records differ between the two architectures.
!macro CloseSorvane un
Function ${un}CloseSorvane
  InitPluginsDir
  File "/oname=$PLUGINSDIR\CloseSorvane.exe" "${BINDIR}\CloseSorvane.exe"
  again:
  ClearErrors
  ExecWait '"$PLUGINSDIR\CloseSorvane.exe" "$INSTDIR"' $0
  ${If} ${Errors}
    ; Not even started: the file steps below still refuse to leave a half
    ; update behind.
    StrCpy $0 0
  ${EndIf}
  ${If} $0 == 1
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "$(CloseAsk)" /SD IDOK IDOK close
    SetErrorLevel 2
    Abort "$(KeptOpen)"
    close:
    ExecWait '"$PLUGINSDIR\CloseSorvane.exe" "$INSTDIR" /all' $0
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$(CloseFailed)" /SD IDCANCEL IDRETRY again
    SetErrorLevel 2
    Abort "$(KeptOpen)"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CloseSorvane ""
!insertmacro CloseSorvane "un."

; The programs replace the old ones in three steps, so that a failure leaves
; the folder as it was: each new file is written beside the old one (.new),
; the old ones are moved aside (.old: a program that runs can be renamed,
; not overwritten), the new ones take their names. Then the old ones go.
!macro Stage name
  Delete "$INSTDIR\${name}.new"
  ClearErrors
  File "/oname=${name}.new" "${BINDIR}\${name}"
  IfErrors stage_failed
!macroend
!macro MoveAside name
  ${If} ${FileExists} "$INSTDIR\${name}"
    ClearErrors
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
    IfErrors swap_failed
  ${EndIf}
!macroend
!macro TakeName name
  ClearErrors
  Rename "$INSTDIR\${name}.new" "$INSTDIR\${name}"
  IfErrors swap_failed
!macroend
; Undoes a swap begun for one file (no .old was left from before it).
!macro GiveBack name
  ${If} ${FileExists} "$INSTDIR\${name}.old"
    Delete "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
!macroend
; Removes what a stopped installation wrote; $R9 is 1 on a fresh one.
!macro Unstage name
  Delete "$INSTDIR\${name}.new"
  ${If} $R9 == 1
    Delete "$INSTDIR\${name}"
  ${EndIf}
!macroend
; Jumps to files_left when a file of this program is left in the folder.
!macro IfLeft name
  IfFileExists "$INSTDIR\${name}" files_left
  IfFileExists "$INSTDIR\${name}.old" files_left
  IfFileExists "$INSTDIR\${name}.new" files_left
!macroend
!macro DeleteOld name
  Delete "$INSTDIR\${name}.old"
  IfFileExists "$INSTDIR\${name}.old" stage_failed
!macroend
; After the swap: an old program still running stays for the next time.
!macro DeleteOldQuietly name
  Delete "$INSTDIR\${name}.old"
!macroend
!macro Remove name
  Delete "$INSTDIR\${name}"
  Delete "$INSTDIR\${name}.new"
  Delete "$INSTDIR\${name}.old"
!macroend
!macro ForEachProgram what
  !insertmacro ${what} "Sorvane.scr"
  !insertmacro ${what} "Sorvane.dll"
  !insertmacro ${what} "SorvaneSettings.exe"
!macroend

Section "Sorvane"
  Call CloseSorvane

  ; Whether the current screen saver is already this Sorvane, asked before the
  ; files change (moving a file aside gives it another short name).
  Call SaverName
  ClearErrors
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCpy $2 1
  ${If} ${Errors}
    StrCpy $2 0
  ${EndIf}
  ClearErrors
  ReadRegStr $3 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
  StrCpy $4 1
  ${If} ${Errors}
    StrCpy $4 0
  ${EndIf}
  StrCpy $5 0
  ${If} $1 == $0
  ${OrIf} $1 == "$INSTDIR\Sorvane.scr"
    StrCpy $5 1
  ${EndIf}

  StrCpy $R9 1
  ${If} ${FileExists} "$INSTDIR\Sorvane.scr"
    StrCpy $R9 0
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  SetOutPath "$INSTDIR"
  IfErrors stage_failed
  SetOverwrite try
  !insertmacro ForEachProgram Stage
  SetOverwrite on
  ; What an earlier update could not remove goes now, or this one stops here.
  !insertmacro ForEachProgram DeleteOld
  !insertmacro ForEachProgram MoveAside
  !insertmacro ForEachProgram TakeName
  !insertmacro ForEachProgram DeleteOldQuietly
  Goto files_done
  swap_failed:
  !insertmacro ForEachProgram GiveBack
  stage_failed:
  SetOverwrite on
  !insertmacro ForEachProgram Unstage
  ${If} $R9 == 1
    RMDir "$INSTDIR"
  ${EndIf}
  SetErrorLevel 2
  MessageBox MB_OK|MB_ICONSTOP "$(WriteFailed)" /SD IDOK
  Abort "$(WriteFailed)"
  files_done:
  ; Sorvane.ini is the user's: an installation over an older one keeps it.
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Remember the screen saver before Sorvane unless it is already this one (an
  ; installation over an older one must not forget the one before it).
  ${If} $5 == 0
    WriteRegStr HKCU "${STATE_KEY}" "PreviousSaver" $1
    WriteRegDWORD HKCU "${STATE_KEY}" "PreviousSaverSet" $2
    WriteRegStr HKCU "${STATE_KEY}" "PreviousActive" $3
    WriteRegDWORD HKCU "${STATE_KEY}" "PreviousActiveSet" $4
  ${EndIf}
  Call SaverName
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tell the running system, as the display settings do.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i 2)'

  ; The entry's target is an .exe of ours, not Sorvane.scr /c: a shortcut opens
  ; its target through the target's file type, and the .scr type's open
  ; command drops the arguments and starts the saver.
  CreateShortCut "$SMPROGRAMS\Sorvane.lnk" "$INSTDIR\SorvaneSettings.exe" "" "$INSTDIR\Sorvane.scr" 0 \
    SW_SHOWNORMAL "" "$(ShortcutHelp)"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sorvane.scr,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $5 $6 $7
  IntFmt $5 "0x%08X" $5
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $5
SectionEnd

Section "Uninstall"
  Call un.CloseSorvane
  ; Give back the previous screen saver if Sorvane is still the current one
  ; (the short name needs the file, so before it goes).
  Call un.SaverName
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 == $0
  ${OrIf} $1 == "$INSTDIR\Sorvane.scr"
    ReadRegDWORD $2 HKCU "${STATE_KEY}" "PreviousSaverSet"
    ${If} $2 == 1
      ReadRegStr $3 HKCU "${STATE_KEY}" "PreviousSaver"
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $3
    ${Else}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
    ReadRegDWORD $2 HKCU "${STATE_KEY}" "PreviousActiveSet"
    ${If} $2 == 1
      ReadRegStr $3 HKCU "${STATE_KEY}" "PreviousActive"
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $3
      ${If} $3 == "1"
        System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i 2)'
      ${Else}
        System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i 2)'
      ${EndIf}
    ${Else}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCU "${STATE_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Sorvane"

  !insertmacro ForEachProgram Remove
  ; A program that would not go keeps its folder and so its entry: the user
  ; can close it and remove Sorvane again.
  !insertmacro ForEachProgram IfLeft
  Goto files_gone
  files_left:
  SetErrorLevel 2
  MessageBox MB_OK|MB_ICONSTOP "$(RemoveFailed)" /SD IDOK
  Abort "$(RemoveFailed)"
  files_gone:
  Delete "$SMPROGRAMS\Sorvane.lnk"
  ; The settings the saver wrote belong to this installation too.
  Delete "$INSTDIR\Sorvane.ini"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
