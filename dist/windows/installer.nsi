; The Zap Wheely installer. scripts/build-windows.sh passes:
;   VERSION   the game's version (1.0.0)
;   GAME_DIR  the game's folder: the programs, Data\Res, Data\Music, Data\Fonts, the icon
;   OUT_FILE  where the installer is written
; The player's saves live in %APPDATA%\ZapWheely and are theirs: the uninstaller removes them
; only when the player says so.
Unicode true
; A 64-bit installer for the 64-bit game (and Wine without its 32-bit half runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!define APP "Zap Wheely"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZapWheely"
; The replay file type: the game records every game into a .zwr, and opening one watches it.
!define REPLAY_CLASS "ZapWheely.Replay"
!define CLASSES "Software\Classes"
; SHChangeNotify's "associations changed": Explorer shows the new type's icon and program.
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${APP}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "Software\ZapWheely" "InstallDir"
RequestExecutionLevel admin

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Zap Wheely developers"
VIAddVersionKey "LegalCopyright" "The Zap Wheely developers"

!define MUI_ICON "${GAME_DIR}\zapwheely.ico"
!define MUI_UNICON "${GAME_DIR}\zapwheely.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\zapwheely.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${APP} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "Game"
  SetOutPath "$INSTDIR"
  File "${GAME_DIR}\zapwheely.exe"
  File "${GAME_DIR}\zapwheely-pack.exe"
  File "${GAME_DIR}\zapwheely.ico"
  File "${GAME_DIR}\CREDITS.txt"
  SetOutPath "$INSTDIR\Data"
  File /r "${GAME_DIR}\Data\Res"
  File /r "${GAME_DIR}\Data\Music"
  File /r "${GAME_DIR}\Data\Fonts"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The menu entry starts the game in its own folder, where its data is.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\zapwheely.exe" "" \
    "$INSTDIR\zapwheely.exe" 0 SW_SHOWNORMAL "" "Arcade superbike racing"

  WriteRegStr HKLM "Software\ZapWheely" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zapwheely.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "The Zap Wheely developers"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; Opening a replay (a double-click, or one the online table gave) watches it in the game.
  WriteRegStr HKLM "${CLASSES}\.zwr" "" "${REPLAY_CLASS}"
  WriteRegStr HKLM "${CLASSES}\.zwr" "Content Type" "application/x-zapwheely-replay"
  WriteRegStr HKLM "${CLASSES}\.zwr\OpenWithProgids" "${REPLAY_CLASS}" ""
  WriteRegStr HKLM "${CLASSES}\${REPLAY_CLASS}" "" "Zap Wheely replay"
  WriteRegStr HKLM "${CLASSES}\${REPLAY_CLASS}\DefaultIcon" "" "$INSTDIR\zapwheely.exe,0"
  WriteRegStr HKLM "${CLASSES}\${REPLAY_CLASS}\shell" "" "open"
  WriteRegStr HKLM "${CLASSES}\${REPLAY_CLASS}\shell\open" "" "Watch in ${APP}"
  WriteRegStr HKLM "${CLASSES}\${REPLAY_CLASS}\shell\open\command" "" \
    '"$INSTDIR\zapwheely.exe" --replay "%1"'
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$INSTDIR\zapwheely.exe"
  Delete "$INSTDIR\zapwheely-pack.exe"
  Delete "$INSTDIR\zapwheely.ico"
  Delete "$INSTDIR\CREDITS.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir /r "$INSTDIR\Data\Res"
  RMDir /r "$INSTDIR\Data\Music"
  RMDir /r "$INSTDIR\Data\Fonts"
  ; A portable Data\Save the player made by hand stays, and so does the folder holding it.
  RMDir "$INSTDIR\Data"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "Software\ZapWheely"

  ; The replay type goes with the game; .zwr itself only while it is still ours (another
  ; program may have taken it since).
  DeleteRegKey HKLM "${CLASSES}\${REPLAY_CLASS}"
  DeleteRegValue HKLM "${CLASSES}\.zwr\OpenWithProgids" "${REPLAY_CLASS}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\.zwr\OpenWithProgids"
  ReadRegStr $0 HKLM "${CLASSES}\.zwr" ""
  StrCmp $0 "${REPLAY_CLASS}" 0 +3
  DeleteRegValue HKLM "${CLASSES}\.zwr" ""
  DeleteRegValue HKLM "${CLASSES}\.zwr" "Content Type"
  DeleteRegKey /ifempty HKLM "${CLASSES}\.zwr"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  ; The options and the high-score table are the player's: asked, never assumed (a silent
  ; uninstall keeps them).
  SetShellVarContext current
  IfFileExists "$APPDATA\ZapWheely\*.*" 0 done
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Also delete your Zap Wheely options and high scores?" /SD IDNO IDNO done
  RMDir /r "$APPDATA\ZapWheely"
  done:
SectionEnd
