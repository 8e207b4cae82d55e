; TELVARO's setup program: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs\TELVARO with a Start-menu shortcut and an Apps & features entry.
; Built by scripts/package.sh with makensis; it passes
;   VERSION  the program's version, "1.3.0"
;   ARCH     x86 (the shipped installer) or x64 (the same installer of the x64 build)
;   STAGE    the folder with the program files, README.txt and LICENSE.txt
;   OUTFILE  the setup program to write
;   ICON     (optional) the application's .ico, for the installer and the uninstaller
; Silent: /S; another folder: /D=C:\path (last on the command line, no quotes).

!ifndef VERSION | ARCH | STAGE | OUTFILE
  !error "makensis -DVERSION=1.3.0 -DARCH=x86|x64 -DSTAGE=dir -DOUTFILE=setup.exe telvaro.nsi"
!endif

!if "${ARCH}" == "x64"
  Target amd64-unicode
!else if "${ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ARCH must be x86 or x64"
!endif

!define PRODUCT "TELVARO"
!define PUBLISHER "The TELVARO authors"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Dialbridge"
; The running copy's main window, as the program's own single-instance guard looks for it.
!define MAIN_CLASS "TMainForm"
!define MAIN_CAPTION_PREFIX "${PRODUCT} "
; Our virtual handset's version resource (virtual-handset/CM_HID.rc) says who made it.
!define HANDSET_DESCRIPTION "${PRODUCT} virtual handset library"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the first install went, unless /D= says otherwise.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; A file that cannot be written fails the install (a silent one too) instead of being skipped.
AllowSkipFiles off
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "x64.nsh"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\telvaro.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends every running copy the way a user's "Exit" does (it saves its settings and lets go of the
; handset), then waits until its files can be replaced. The request is the registered message
; "TELVARO.Exit", which a copy lets through its message filter, so an elevated copy ends too (the
; system drops a WM_CLOSE sent from a lower integrity level); lParam names our process. A copy
; that does not answer 1 is an older version, which knows only WM_CLOSE. A copy is a top-level main window
; whose caption starts with "TELVARO ": an update is run over an older version, whose caption
; names that version, not ours. A copy that will not end is not killed: the user is asked, and a
; silent run fails rather than leave a half-updated folder.
; Inside IsOurHandsetLibrary: $5 becomes 0 unless the version resource's string NAME (US
; English, Unicode, as our .rc writes it) is VALUE, exactly.
!macro HANDSET_LIBRARY_STRING_IS NAME VALUE
  System::Call 'version::VerQueryValueW(p r3, w "\StringFileInfo\040904b0\${NAME}", *p .r4, *i .r1) i .r2'
  ${If} $2 <> 0
    System::Call 'kernel32::lstrcpynW(w .r2, p r4, i ${NSIS_MAX_STRLEN}) p'
    ${IfThen} $2 S!= "${VALUE}" ${|} StrCpy $5 0 ${|}
  ${Else}
    StrCpy $5 0
  ${EndIf}
!macroend

!macro DEFINE_END_RUNNING_COPY PREFIX
; -> $0: the first running copy's main window, or 0.
Function ${PREFIX}FindRunningCopy
  Push $1
  Push $2
  StrLen $2 "${MAIN_CAPTION_PREFIX}"
  StrCpy $0 0
  ${Do}
    FindWindow $0 "${MAIN_CLASS}" "" 0 $0
    ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
    System::Call 'user32::GetWindowTextW(p r0, w .r1, i ${NSIS_MAX_STRLEN}) i'
    StrCpy $1 $1 $2
    ${IfThen} $1 S== "${MAIN_CAPTION_PREFIX}" ${|} ${ExitDo} ${|}
  ${Loop}
  Pop $2
  Pop $1
FunctionEnd

Function ${PREFIX}EndRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  retry:
  StrCpy $2 0 ; 1: a copy did not end in time
  StrCpy $3 0 ; the window asked to close last
  ${Do}
    Call ${PREFIX}FindRunningCopy
    ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
    ${If} $0 <> $3
      DetailPrint "Ending the running ${PRODUCT}"
      ; One close request for each window: a second one while the first is being handled
      ; would nest.
      System::Call 'user32::RegisterWindowMessageW(w "TELVARO.Exit") i .r1'
      System::Call 'kernel32::GetCurrentProcessId() i .r4'
      StrCpy $5 0
      ${IfThen} $1 <> 0 ${|} SendMessage $0 $1 0 $4 $5 /TIMEOUT=5000 ${|}
      ${IfThen} $5 <> 1 ${|} SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000 ${|}
      StrCpy $3 $0
      StrCpy $1 0
    ${EndIf}
    ; Until that window is gone; then the next copy, if any.
    ${If} $1 >= 50
      StrCpy $2 1
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
    Sleep 200
  ${Loop}
  ; The window goes before the process does, and the program file stays locked until it has.
  ${If} $2 = 0
  ${AndIf} ${FileExists} "$INSTDIR\telvaro.exe"
    StrCpy $1 0
    ${Do}
      ClearErrors
      FileOpen $0 "$INSTDIR\telvaro.exe" a
      ${IfNot} ${Errors}
        FileClose $0
        ${ExitDo}
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 >= 50
        StrCpy $2 1
        ${ExitDo}
      ${EndIf}
      Sleep 200
    ${Loop}
  ${EndIf}
  ${If} $2 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} is still running. End it (its tray icon, Exit), then choose Retry." \
      /SD IDCANCEL IDRETRY retry
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Abort "${PRODUCT} is still running."
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; -> $0: 1 when $INSTDIR\CM_HID.dll is our virtual handset by its version resource, else 0 (no
; file, no resource, or the handset maker's library, which a user copies over ours). Uses $1-$5.
Function ${PREFIX}IsOurHandsetLibrary
  StrCpy $0 0
  System::Call 'version::GetFileVersionInfoSizeW(w "$INSTDIR\CM_HID.dll", *i .r1) i .r2'
  ${If} $2 > 0
    System::Alloc $2
    Pop $3
    System::Call 'version::GetFileVersionInfoW(w "$INSTDIR\CM_HID.dll", i 0, i r2, p r3) i .r1'
    ${If} $1 <> 0
      StrCpy $5 1
      !insertmacro HANDSET_LIBRARY_STRING_IS CompanyName "${PRODUCT}"
      !insertmacro HANDSET_LIBRARY_STRING_IS ProductName "${PRODUCT}"
      !insertmacro HANDSET_LIBRARY_STRING_IS FileDescription "${HANDSET_DESCRIPTION}"
      StrCpy $0 $5
    ${EndIf}
    System::Free $3
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_END_RUNNING_COPY ""
!insertmacro DEFINE_END_RUNNING_COPY "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  Call EndRunningCopy
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}/telvaro.exe"
  ; The handset maker's library, copied over ours by the user, stays; ours is put in where there
  ; is none and brought up to date where it is ours.
  Call IsOurHandsetLibrary
  ${If} $0 = 1
  ${OrIfNot} ${FileExists} "$INSTDIR\CM_HID.dll"
    File "${STAGE}/CM_HID.dll"
  ${Else}
    DetailPrint "Keeping the handset maker's CM_HID.dll"
  ${EndIf}
  File "${STAGE}/handsetctl.exe"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\telvaro.exe" "" "$INSTDIR\telvaro.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\telvaro.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Deletes the start-with-Windows value only where it starts this installation's program: as the
; program writes it, unquoted, or quoted when the path has blanks. Windows paths compare without
; regard to letter case, and so does this. Another program's value, or a copy elsewhere, stays.
!macro REMOVE_RUN_VALUE ROOT
  ReadRegStr $0 ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == "$INSTDIR\telvaro.exe"
  ${OrIf} $0 == '"$INSTDIR\telvaro.exe"'
    DetailPrint "Removing the start-with-Windows entry (${ROOT})"
    DeleteRegValue ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
!macroend

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Call un.EndRunningCopy

  Delete "$INSTDIR\telvaro.exe"
  ; The handset maker's library is the user's, not ours to delete (and keeps the folder).
  Call un.IsOurHandsetLibrary
  ${If} $0 = 1
    Delete "$INSTDIR\CM_HID.dll"
  ${EndIf}
  Delete "$INSTDIR\handsetctl.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: a user's own files in it are never deleted.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ; Both builds keep the entry in the 32-bit view; an earlier 64-bit build kept it in the other.
  ; A machine-wide value is removed only where this user may (the attempt is harmless otherwise).
  SetRegView 32
  !insertmacro REMOVE_RUN_VALUE HKCU
  !insertmacro REMOVE_RUN_VALUE HKLM
  !if "${ARCH}" == "x86"
  ${If} ${RunningX64}
  !endif
    SetRegView 64
    !insertmacro REMOVE_RUN_VALUE HKCU
    !insertmacro REMOVE_RUN_VALUE HKLM
  !if "${ARCH}" == "x86"
  ${EndIf}
  !endif
  SetRegView lastused
  ; The settings key SOFTWARE\Dialbridge stays, so a new install keeps the user's choice.
SectionEnd
