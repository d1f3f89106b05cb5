; The Windows installer: kovrel-<version>-setup.exe from the Windows program's install folder.
;
; Per user, without administrator rights: %LOCALAPPDATA%\Programs\Kovrel is the user's to write,
; so trac_conf.cfg stays beside kovrel.exe and nothing is redirected. An upgrade installs over
; the old program and keeps trac_conf.cfg as it is; the uninstaller keeps it too unless the
; technician ticks its removal. The port-pair driver is not bundled (it needs an administrator);
; the last page says how to get it.
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

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrel"

Name "Kovrel ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Kovrel"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
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
LangString WelcomeText ${LANG_SPANISH} "Kovrel ${VERSION} se instala para este usuario, sin derechos de administrador. Una instalación anterior se actualiza y su configuración (trac_conf.cfg) se conserva tal cual.$\r$\n$\r$\nCierre Kovrel antes de continuar."
LangString WelcomeText ${LANG_ENGLISH} "Kovrel ${VERSION} is installed for this user, without administrator rights. An earlier install is upgraded and its settings (trac_conf.cfg) are kept as they are.$\r$\n$\r$\nClose Kovrel before going on."
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
  SetShellVarContext current
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
  ; The settings a technician calibrated survive an upgrade byte for byte: the default file is
  ; laid down only where there is none.
  SetOverwrite off
  File "${SOURCE}\trac_conf.cfg"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Kovrel.lnk" "$INSTDIR\kovrel.exe" "" "$INSTDIR\kovrel.ico" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kovrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Kovrel developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kovrel.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "un.$(ProgramSection)" UnSecProgram
  SectionIn RO
  SetShellVarContext current
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
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Unticked unless the technician ticks it: a silent uninstall keeps the settings.
Section /o "un.$(SettingsSection)" UnSecSettings
  Delete "$INSTDIR\trac_conf.cfg"
SectionEnd

; The folder goes only when nothing is left in it (the settings, set-aside copies of them).
Section "-un.Folder"
  RMDir "$INSTDIR"
SectionEnd
