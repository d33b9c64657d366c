; The benchmark's peer: a conventional NSIS installer of the benchmark payload,
; built by bench/run.py with Debian's makensis. It installs the same files
; into the same two folders, with the same shortcuts and Uninstall values, as
; MirevaleSetup.exe does. A reference for the figures, not part of the
; product.
;
;   makensis -INPUTCHARSET UTF8 -DPAYLOAD=<folder with tarvo/ and data/>
;            -DOUTFILE=<installer.exe> bench/MirevaleNSIS.nsi
;
; Silent installation: installer.exe /S

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"

!define PRODUCT "Tarvo高效学习法"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mirevale"

Name "${PRODUCT}"
Caption "MirevaleNSIS"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Mirevale"
ShowInstDetails nevershow

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "SimpChinese"

Section "Install"
    SetShellVarContext all
    SetRegView 64

    SetOutPath "$INSTDIR"
    File /r "${PAYLOAD}/tarvo/*"
    ; With the all-users context $APPDATA is C:\ProgramData.
    SetOutPath "$APPDATA\Mirevale"
    File /r "${PAYLOAD}/data/*"

    CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
    CreateDirectory "$SMPROGRAMS\Mirevale"
    CreateShortcut "$SMPROGRAMS\Mirevale\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
    CreateShortcut "$SMPROGRAMS\Mirevale\uninstall.lnk" "$INSTDIR\uninstall.exe"

    ; The value exactly as our installer writes it: its own path form, forward slashes.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "C:/Program Files/Mirevale/${PRODUCT}.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kestrelvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "3.0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
SectionEnd
