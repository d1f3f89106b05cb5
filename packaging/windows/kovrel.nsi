; The Windows installer: kovrel-<version>-setup.exe from the Windows program's install folder.
;
; Two kinds, chosen on the first page or on the command line (/CURRENTUSER, /ALLUSERS):
; - per user (the default), without administrator rights: %LOCALAPPDATA%\Programs\Kovrel is the
;   user's to write, so trac_conf.cfg stays beside kovrel.exe and nothing is redirected;
; - per machine, by an administrator: Program Files\Kovrel, with the settings every operator of
;   the PC shares (the tracer's calibration and COM numbers are the machine's) in
;   %ProgramData%\Kovrel, made writable by the PC's users; Kovrel looks for them there.
; The settings laid down are a first installation's ([INST]=1): the first start sets the ports up.
; An upgrade keeps the kind of the last install, installs over the old program and keeps
; trac_conf.cfg as it is; the uninstaller keeps it too unless the technician ticks its removal,
; and never touches the user's data folder (%LOCALAPPDATA%\Kovrel). The port-pair driver is not
; bundled (it needs an administrator); the last page says how to get it.
;
; Neither runs over a running copy: in automatic mode Kovrel sits hidden all day, its files are
; locked, and a setup that skipped them would register the new version over the old program (an
; uninstall would drop the registration and leave them). Both stop at once while this user's copy
; holds its mutex, check that every file they would replace or remove can be written before they
; touch any, and stop on any file that could not be written after all. Silent, they end with exit
; code 2 and say nothing.
;
; makensis -DVERSION=1.4 -DSOURCE=<install folder> -DFILES=<lists> -DOUTFILE=<setup.exe> kovrel.nsi
; (packaging/windows/build-installer.sh writes the file lists and runs it.)

!ifndef VERSION | SOURCE | FILES | OUTFILE
  !error "VERSION, SOURCE, FILES and OUTFILE are needed"
!endif

; The program is 64-bit, and so is the installer (no 32-bit layer needed, under Wine either).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "nsDialogs.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrel"

Name "Kovrel ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
; The folder comes from the kind of install (see ApplyMode): an upgrade goes where the last went.
BrandingText "Kovrel ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Kovrel"
VIAddVersionKey /LANG=0 "FileDescription" "Kovrel ${VERSION} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Kovrel developers"

!define MUI_ICON "${FILES}\kovrel.ico"
!define MUI_UNICON "${FILES}\kovrel.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "$(DriverTitle)"
!define MUI_FINISHPAGE_TEXT "$(DriverText)"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"

!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "English"

LangString DriverTitle ${LANG_SPANISH} "Kovrel está instalado"
LangString DriverTitle ${LANG_ENGLISH} "Kovrel is installed"
LangString DriverText ${LANG_SPANISH} "El puerto virtual para el programa del laboratorio es un par de puertos com0com. Su controlador no se incluye: lo instala un administrador una vez (versión firmada, com0com.sourceforge.net).$\r$\n$\r$\nKovrel usa setupc.exe de la carpeta de programas del sistema (com0com) y pide el permiso de Windows solo para crear el par: Kovrel no necesita ejecutarse como administrador."
LangString DriverText ${LANG_ENGLISH} "The virtual port for the lab's host program is a com0com port pair. Its driver is not included: an administrator installs it once (signed version, com0com.sourceforge.net).$\r$\n$\r$\nKovrel runs setupc.exe from the system's program folder (com0com) and asks Windows' consent only to create the pair: Kovrel itself never needs to run as administrator."
LangString WelcomeText ${LANG_SPANISH} "Kovrel ${VERSION} se instala para este usuario (sin derechos de administrador) o para todos los usuarios del PC. Una instalación anterior se actualiza y su configuración (trac_conf.cfg) se conserva tal cual.$\r$\n$\r$\nCierre Kovrel antes de continuar."
LangString WelcomeText ${LANG_ENGLISH} "Kovrel ${VERSION} is installed for this user (without administrator rights) or for every user of the PC. An earlier install is upgraded and its settings (trac_conf.cfg) are kept as they are.$\r$\n$\r$\nClose Kovrel before going on."
LangString ModeTitle ${LANG_SPANISH} "Tipo de instalación"
LangString ModeTitle ${LANG_ENGLISH} "Kind of install"
LangString ModeSubtitle ${LANG_SPANISH} "¿Quién usará Kovrel en este PC?"
LangString ModeSubtitle ${LANG_ENGLISH} "Who will use Kovrel on this PC?"
LangString ModeUser ${LANG_SPANISH} "Solo este usuario (recomendado)"
LangString ModeUser ${LANG_ENGLISH} "This user only (recommended)"
LangString ModeUserText ${LANG_SPANISH} "Sin derechos de administrador. La configuración (trac_conf.cfg) queda junto al programa, en la carpeta del usuario."
LangString ModeUserText ${LANG_ENGLISH} "Without administrator rights. The settings (trac_conf.cfg) stay beside the program, in the user's folder."
LangString ModeAll ${LANG_SPANISH} "Todos los usuarios de este PC"
LangString ModeAll ${LANG_ENGLISH} "Every user of this PC"
LangString ModeAllText ${LANG_SPANISH} "Requiere un administrador. El programa va a Archivos de programa; una sola configuración y calibración para todos los operadores, en ProgramData\Kovrel."
LangString ModeAllText ${LANG_ENGLISH} "Needs an administrator. The program goes to Program Files; one set of settings and calibration for every operator, in ProgramData\Kovrel."
LangString NeedsAdmin ${LANG_SPANISH} "La instalación para todos los usuarios requiere un administrador: ejecute el instalador como administrador. No se ha cambiado nada."
LangString NeedsAdmin ${LANG_ENGLISH} "The install for every user needs an administrator: run the setup as administrator. Nothing has been changed."
LangString ProgramSection ${LANG_SPANISH} "Kovrel"
LangString ProgramSection ${LANG_ENGLISH} "Kovrel"
LangString SettingsSection ${LANG_SPANISH} "Configuración"
LangString SettingsSection ${LANG_ENGLISH} "Settings"
LangString ShortcutName ${LANG_SPANISH} "Kovrel"
LangString ShortcutName ${LANG_ENGLISH} "Kovrel"
LangString KovrelRunning ${LANG_SPANISH} "Kovrel está en marcha (en modo automático queda oculto, con su icono junto al reloj). Ciérrelo con Salir y vuelva a intentarlo: no se ha cambiado nada."
LangString KovrelRunning ${LANG_ENGLISH} "Kovrel is running (in automatic mode it stays hidden, with its icon beside the clock). Close it with Salir and try again: nothing has been changed."
LangString FileInUse ${LANG_SPANISH} "No se puede escribir $R0: otro programa lo tiene abierto. Ciérrelo y vuelva a intentarlo: no se ha cambiado nada."
LangString FileInUse ${LANG_ENGLISH} "$R0 cannot be written: another program holds it open. Close it and try again: nothing has been changed."
LangString WriteFailed ${LANG_SPANISH} "No se han podido escribir todos los archivos del programa y la instalación se ha detenido. Vuelva a ejecutarla cuando ningún programa los tenga abiertos."
LangString WriteFailed ${LANG_ENGLISH} "Not every file of the program could be written and the setup has stopped. Run it again when no program holds them open."
LangString RemoveFailed ${LANG_SPANISH} "No se han podido borrar todos los archivos del programa y la desinstalación se ha detenido; Kovrel sigue registrado. Vuelva a ejecutarla cuando ningún programa los tenga abiertos."
LangString RemoveFailed ${LANG_ENGLISH} "Not every file of the program could be removed and the uninstall has stopped; Kovrel stays registered. Run it again when no program holds them open."

; Stops the setup or the uninstall with TEXT; silent, with exit code 2 and no message.
!macro Stop TEXT
  MessageBox MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Var AllUsers  ; 1: the per-machine kind
Var GivenDir  ; a folder given with /D=, which wins over the kind's own
Var RadioAll

; The shell folders, the registration's root and the folder of the chosen kind.
Function ApplyMode
  ${If} $AllUsers == 1
    SetShellVarContext all
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $INSTDIR "" 0 +2
    StrCpy $INSTDIR "$PROGRAMFILES64\Kovrel"
  ${Else}
    SetShellVarContext current
    ReadRegStr $INSTDIR HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $INSTDIR "" 0 +2
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Kovrel"
  ${EndIf}
  StrCmp $GivenDir "" +2
  StrCpy $INSTDIR $GivenDir
FunctionEnd

Function AdminOnly
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    !insertmacro Stop "$(NeedsAdmin)"
  ${EndIf}
FunctionEnd

; An upgrade keeps the kind of the last install; the command line may choose.
Function InitMode
  StrCpy $GivenDir $INSTDIR
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "" +2
  StrCpy $AllUsers 1
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ${If} $AllUsers == 1
  ${AndIf} ${Silent}
    Call AdminOnly
  ${EndIf}
  Call ApplyMode
FunctionEnd

; The uninstaller is the per-machine kind's when that registration names its folder.
Function un.InitMode
  StrCpy $AllUsers 0
  SetShellVarContext current
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    SetShellVarContext all
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      !insertmacro Stop "$(NeedsAdmin)"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "$(ModeUser)"
  Pop $1
  ${NSD_CreateLabel} 12u 14u 95% 24u "$(ModeUserText)"
  Pop $0
  ${NSD_CreateRadioButton} 0 48u 100% 12u "$(ModeAll)"
  Pop $RadioAll
  ${NSD_CreateLabel} 12u 62u 95% 32u "$(ModeAllText)"
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_Check} $RadioAll
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; Without an administrator, the per-machine kind starts this setup again with Windows' consent.
Function ModePageLeave
  ${NSD_GetState} $RadioAll $0
  StrCpy $AllUsers 0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      ExecShell "runas" "$EXEPATH" "/ALLUSERS"
      Quit
    ${EndIf}
  ${EndIf}
  Call ApplyMode
FunctionEnd

; Installer and uninstaller alike (UN is "" or "un.").
!macro CopyChecks UN ONINIT
; The program's own mutex, held by every running copy: this user's copy opens; another user's
; (its files in its own profile) refuses access and is no obstacle.
Function ${ONINIT}
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\Kovrel") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    !insertmacro Stop "$(KovrelRunning)"
  ${EndIf}
  Call ${UN}InitMode
FunctionEnd

; $R0 can be replaced or removed: absent, or open for writing now (a running program's file is not).
Function ${UN}Writable
  ${If} ${FileExists} "$R0"
    ClearErrors
    FileOpen $R1 "$R0" a
    ${If} ${Errors}
      !insertmacro Stop "$(FileInUse)"
    ${EndIf}
    FileClose $R1
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CopyChecks "" .onInit
!insertmacro CopyChecks "un." un.onInit

; check.nsh: one of these for every file the program lays down.
!macro Writable FILE
  StrCpy $R0 "${FILE}"
  Call ${UN}Writable
!macroend

Section "Kovrel" SecProgram
  SectionIn RO
  !define UN ""
  !include "${FILES}\check.nsh"
  !undef UN
  ; Every file written, or the setup stops before the registration: a file skipped would leave
  ; an old program under the new version's name.
  ClearErrors
  SetOverwrite try
  SetOutPath "$INSTDIR"
  !include "${FILES}\install.nsh"
  File "${FILES}\kovrel.ico"  ; the shortcut's and the uninstaller entry's icon
  ${If} ${Errors}
    !insertmacro Stop "$(WriteFailed)"
  ${EndIf}
  ; The settings a technician calibrated survive an upgrade byte for byte: the first
  ; installation's file is laid down only where there is none. Per machine, in the folder every
  ; user of the PC may write (BUILTIN\Users, by its SID: its name depends on the language).
  SetOverwrite off
  ${If} $AllUsers == 1
    CreateDirectory "$APPDATA\Kovrel"
    nsExec::Exec '"$SYSDIR\icacls.exe" "$APPDATA\Kovrel" /grant *S-1-5-32-545:(OI)(CI)M /Q'
    Pop $0
    SetOutPath "$APPDATA\Kovrel"
    File "${FILES}\trac_conf.cfg"
    SetOutPath "$INSTDIR"
  ${Else}
    File "${FILES}\trac_conf.cfg"
  ${EndIf}
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Kovrel.lnk" "$INSTDIR\kovrel.exe" "" "$INSTDIR\kovrel.ico" 0
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Kovrel"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Kovrel developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kovrel.ico"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "un.$(ProgramSection)" UnSecProgram
  SectionIn RO
  !define UN "un."
  !include "${FILES}\check.nsh"
  !undef UN
  ; The registration goes only with the program: files left would be nobody's to remove.
  ClearErrors
  !include "${FILES}\uninstall.nsh"
  Delete "$INSTDIR\kovrel.ico"
  ${If} ${Errors}
    !insertmacro Stop "$(RemoveFailed)"
  ${EndIf}
  !include "${FILES}\folders.nsh"
  Delete "$SMPROGRAMS\Kovrel.lnk"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd

; Unticked unless the technician ticks it: a silent uninstall keeps the settings.
Section /o "un.$(SettingsSection)" UnSecSettings
  ${If} $AllUsers == 1
    Delete "$APPDATA\Kovrel\trac_conf.cfg"
    RMDir "$APPDATA\Kovrel"  ; only when nothing else is left in it
  ${Else}
    Delete "$INSTDIR\trac_conf.cfg"
  ${EndIf}
SectionEnd

; The folder goes only when nothing is left in it (the settings, set-aside copies of them).
Section "-un.Folder"
  RMDir "$INSTDIR"
SectionEnd
