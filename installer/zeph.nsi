; zeph-setup.exe: the 64-bit and the 32-bit zeph.dll, each registered for hosts of its own
; bitness, and the help file when the build made one.
;
; For the current user without administrator rights (the user's classes), or for the machine
; when run elevated. Switches: /S silent, /CURRENTUSER or /ALLUSERS to choose the scope (without
; them: the machine for an administrator, else the user), /D=FOLDER for the folder.
; The uninstaller removes the files and keys the installer made and nothing else: the host's
; data folder with the user's zpconfig.cfg, its backup and scripts is never touched.
;
; makensis -INPUTCHARSET UTF8 -DDLL64=... -DDLL32=... -DOUTFILE=... [-DHELP=...] zeph.nsi

Unicode true
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!ifndef DLL64 | DLL32 | OUTFILE
  !error "DLL64, DLL32 and OUTFILE must be defined"
!endif

!define PRODUCT "Zeph"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zeph"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Page directory
Page instfiles
UninstPage instfiles

Var Scope  ; "user" or "machine": the /i: argument of the module's DllInstall

!macro ChooseScope un
; $R0: the command line's parameters.
Function ${un}ChooseScope
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $Scope "user"
  ${Else}
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
      StrCpy $Scope "machine"
    ${Else}
      UserInfo::GetAccountType
      Pop $R1
      ${If} $R1 == "Admin"
        StrCpy $Scope "machine"
      ${Else}
        StrCpy $Scope "user"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $Scope == "machine"
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
      MessageBox MB_ICONSTOP "Для установки для всех пользователей нужны права администратора." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ChooseScope ""
!insertmacro ChooseScope "un."

Function .onInit
  ${GetParameters} $R0
  Call ChooseScope
  ${If} $INSTDIR == ""
    ${If} $Scope == "machine"
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  ; Without a switch, the scope whose uninstall entry names this folder.
  ${GetParameters} $R0
  StrCpy $R3 "none"
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $R3 "given"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $R3 "given"
  ${EndIf}
  ${If} $R3 == "none"
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R1 == $INSTDIR
      StrCpy $R0 "$R0 /CURRENTUSER"
    ${ElseIf} $R2 == $INSTDIR
      StrCpy $R0 "$R0 /ALLUSERS"
    ${EndIf}
  ${EndIf}
  Call un.ChooseScope
FunctionEnd

; regsvr32 of the module's bitness: $SYSDIR of this 32-bit program is the 32-bit one, and the
; 64-bit one is reached with the file-system redirection off.
!macro RunRegsvr32 bits args dll result
  !if ${bits} == 64
    ${DisableX64FSRedirection}
  !endif
  ExecWait '"$SYSDIR\regsvr32.exe" /s ${args} "${dll}"' ${result}
  !if ${bits} == 64
    ${EnableX64FSRedirection}
  !endif
!macroend

!macro RemoveInstalled un
Function ${un}RemoveInstalled
  ${If} ${RunningX64}
    !insertmacro RunRegsvr32 64 "/u /n /i:$Scope" "$INSTDIR\x64\zeph.dll" $0
  ${EndIf}
  !insertmacro RunRegsvr32 32 "/u /n /i:$Scope" "$INSTDIR\x86\zeph.dll" $0
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; The folder goes last: once it is gone, so is everything else.
  Delete /REBOOTOK "$INSTDIR\x64\zeph.dll"
  Delete /REBOOTOK "$INSTDIR\x86\zeph.dll"
  Delete "$INSTDIR\Zeph_Help.chm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR"
FunctionEnd
!macroend
!insertmacro RemoveInstalled ""
!insertmacro RemoveInstalled "un."

Section "Zeph"
  SetOutPath "$INSTDIR\x64"
  File "/oname=zeph.dll" "${DLL64}"
  SetOutPath "$INSTDIR\x86"
  File "/oname=zeph.dll" "${DLL32}"
!ifdef HELP
  SetOutPath "$INSTDIR"
  File "/oname=Zeph_Help.chm" "${HELP}"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} ${RunningX64}
    !insertmacro RunRegsvr32 64 "/n /i:$Scope" "$INSTDIR\x64\zeph.dll" $0
  ${Else}
    StrCpy $0 0
  ${EndIf}
  !insertmacro RunRegsvr32 32 "/n /i:$Scope" "$INSTDIR\x86\zeph.dll" $1
  ${If} $0 != 0
  ${OrIf} $1 != 0
    Call RemoveInstalled
    MessageBox MB_ICONSTOP "Не удалось зарегистрировать модуль (коды $0, $1)." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ${If} $Scope == "machine"
    StrCpy $2 "/ALLUSERS"
  ${Else}
    StrCpy $2 "/CURRENTUSER"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $2'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S $2'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Call un.RemoveInstalled
SectionEnd
