; The teacher's installer: puts the 64- and 32-bit servers (myfb.dll, which
; holds the add-in "Vantrel.FenBanAddin") in the user's own program folder,
; registers each with the regsvr32 of its bitness for the current user
; (regsvr32 /n /i:user, which writes the classes into that bitness's registry
; view and the Excel and WPS add-in keys), and adds an uninstaller with an
; entry in Add/Remove Programs. No administrator rights are asked for.
; makensis -INPUTCHARSET UTF8 -DX64_DLL=... -DX86_DLL=... -DOUTFILE=... -DVERSION=... fenban.nsi
Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "x64.nsh"
!include "LogicLib.nsh"

; The pages speak Chinese, as the add-in does.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VantrelFenBan"
!define SETTINGS_KEY "Software\Vantrel\FenBan"

Name "分班"
Caption "分班 安装"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Vantrel\FenBan"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; regsvr32 of the system folder: the 32-bit one for a 32-bit installer, the
; 64-bit one while the file system redirection is off.
!macro RegisterServer ARGS DLL
  ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGS} "${DLL}"' $0
  ${If} $0 != 0
    DetailPrint "regsvr32 ${ARGS} ${DLL}: $0"
    SetErrors
  ${EndIf}
!macroend

Section "分班"
  SetShellVarContext current
  SetOutPath "$INSTDIR\x86"
  File "/oname=myfb.dll" "${X86_DLL}"
  SetOutPath "$INSTDIR\x64"
  File "/oname=myfb.dll" "${X64_DLL}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "分班（Excel 和 WPS 表格的加载项）"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Vantrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ClearErrors
  !insertmacro RegisterServer "/n /i:user" "$INSTDIR\x86\myfb.dll"
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    !insertmacro RegisterServer "/n /i:user" "$INSTDIR\x64\myfb.dll"
    ${EnableX64FSRedirection}
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "加载项没能注册，请再运行一次安装程序。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
SectionEnd

; Removes every file and key the installer and the add-in wrote; the folder
; with the teacher's workbooks stays where it is.
Section "Uninstall"
  SetShellVarContext current
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    !insertmacro RegisterServer "/u /n /i:user" "$INSTDIR\x64\myfb.dll"
    ${EnableX64FSRedirection}
  ${EndIf}
  !insertmacro RegisterServer "/u /n /i:user" "$INSTDIR\x86\myfb.dll"
  Delete "$INSTDIR\x64\myfb.dll"
  Delete "$INSTDIR\x86\myfb.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Vantrel"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Vantrel"
SectionEnd
