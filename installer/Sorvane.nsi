; Sorvane's setup: a per-user installation that makes Sorvane the current
; screen saver and can be removed again. One script for both architectures:
;   makensis -DVERSION=1.0.0 -DARCH=win64|win32 -DBINDIR=<folder with Sorvane.scr
;            and Sorvane.dll> -DOUTFILE=<setup.exe> Sorvane.nsi
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

Section "Sorvane"
  SetOutPath "$INSTDIR"
  File "${BINDIR}\Sorvane.scr"
  File "${BINDIR}\Sorvane.dll"
  ; Sorvane.ini is the user's: an installation over an older one keeps it.
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  Call SaverName
  ; Remember the current screen saver unless it is already this Sorvane (an
  ; installation over an older one must not forget the one before it).
  ClearErrors
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCpy $2 1
  ${If} ${Errors}
    StrCpy $2 0
  ${EndIf}
  ${If} $1 != $0
  ${AndIf} $1 != "$INSTDIR\Sorvane.scr"
    WriteRegStr HKCU "${STATE_KEY}" "PreviousSaver" $1
    WriteRegDWORD HKCU "${STATE_KEY}" "PreviousSaverSet" $2
    ClearErrors
    ReadRegStr $3 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    StrCpy $4 1
    ${If} ${Errors}
      StrCpy $4 0
    ${EndIf}
    WriteRegStr HKCU "${STATE_KEY}" "PreviousActive" $3
    WriteRegDWORD HKCU "${STATE_KEY}" "PreviousActiveSet" $4
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tell the running system, as the display settings do.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i 2)'

  CreateShortCut "$SMPROGRAMS\Sorvane.lnk" "$INSTDIR\Sorvane.scr" "/c" "$INSTDIR\Sorvane.scr" 0 \
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

  Delete "$SMPROGRAMS\Sorvane.lnk"
  Delete "$INSTDIR\Sorvane.scr"
  Delete "$INSTDIR\Sorvane.dll"
  ; The settings the saver wrote belong to this installation too.
  Delete "$INSTDIR\Sorvane.ini"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
