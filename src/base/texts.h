#pragma once
// Every text the operator reads, exactly as the lab knows it (UTF-8). Blanks and accents count:
// operators and service technicians recognise these messages by their look.

#include <string_view>

namespace kovrel::texts {

// Main window
inline constexpr std::string_view kCaption = "  Kovrel   v1.4";
inline constexpr std::string_view kInfoInitial =
    "                       >>  INFO de proceso <<";  // 23 blanks
inline constexpr std::string_view kInfoToolTip = "Ventana de información";
inline constexpr std::string_view kReadButton = "Leer forma de lente";
inline constexpr std::string_view kSendButton = "Enviar forma escaneada";
inline constexpr std::string_view kMirrorButton = "espejo horizontal";
inline constexpr std::string_view kClockwiseButton = "giro horario";
inline constexpr std::string_view kCounterClockwiseButton = "giro antihorario";
inline constexpr std::string_view kServicePanelFrame = "Opciones Avanzadas solo para Servicio tecnico";
inline constexpr std::string_view kCalibrationNotice = "    VERIFICANT                  INSTRUMENT !!!";
// Start-up: the host's virtual port could not be opened or created; the reason follows.
inline constexpr std::string_view kVirtualPortStartFailed = "Puerto virtual no disponible: ";
// Captions of the main window's buttons (the longer texts above are their tool tips).
inline constexpr std::string_view kReadCaption = "LEER";
inline constexpr std::string_view kSendCaption = "ENVIAR";
inline constexpr std::string_view kStopCaption = "STOP";
inline constexpr std::string_view kExitCaption = "SALIR";
inline constexpr std::string_view kHistoryCaption = "Historial";
inline constexpr std::string_view kHistoryButton = "Lecturas guardadas (Ctrl+H)";
// Service panel captions and starting values.
inline constexpr std::string_view kPanelZero = "0";
inline constexpr std::string_view kTemperatureLabel = "Temp";
inline constexpr std::string_view kCompensationLabel = "Comp(T)";
inline constexpr std::string_view kRawTemperatureLabel = "Dato.(T)";
inline constexpr std::string_view kSerialLabel = "Serial";
inline constexpr std::string_view kConfigWindowButton = "Config";
inline constexpr std::string_view kJobCounterInitial = "Rev";
inline constexpr std::string_view kNoHeaderLabel = "NoLeerCab";
inline constexpr std::string_view kSizesOnlyLabel = "Mostrar X/Y";
inline constexpr std::string_view kCalibrateTravelLabel = "Calibra Carrera";
inline constexpr std::string_view kUpdateValueLabel = "Actualiza valor";
inline constexpr std::string_view kEncoderButton = "Enco   ";
inline constexpr std::string_view kEncoderCalibration = "E.Calib";

// Read and capture
inline constexpr std::string_view kInitialising = "  Inicializando...";
inline constexpr std::string_view kPressStart = "Pulsar START...";
inline constexpr std::string_view kReadingShape = "Leyendo forma...";
inline constexpr std::string_view kNeedleToCentre = "Colocar aguja en el centro y START";
inline constexpr std::string_view kReadFinished = "fin lectura > modificar o enviar";
inline constexpr std::string_view kReadAborted = " Operación de lectura Abortada...";
inline constexpr std::string_view kPressReadFirst = "Error: Pulsar primero Leer forma en el PC";
inline constexpr std::string_view kShapeOutOfRange = "Forma demasiado grande o pequeña para leer";
inline constexpr std::string_view kPortErrorRestart = "Error puerto,reiniciar programa Kovrel";
inline constexpr std::string_view kProgramErrorRestart = "Error en el programa reiniciar Kovrel";
inline constexpr std::string_view kTracerNoPermission =
    "Sin permiso para abrir el puerto del lector: añadir el usuario al grupo ";
inline constexpr std::string_view kTracerNoPermissionEnd = " y volver a iniciar sesión";  // after the group
inline constexpr std::string_view kNoHeaderSerial = "777777";

// Send
inline constexpr std::string_view kNoHostWaiting = "No hay ninguna aplicación esperando forma!!";
inline constexpr std::string_view kSending = " Enviando forma OMA...";
inline constexpr std::string_view kOutputPortMissing = "Puerto de salida no existente >AJUSTAR";
inline constexpr std::string_view kOmaTimeout = "TimeOut OMA Comunication";
inline constexpr std::string_view kSentOk = "Envio >OK< ";
inline constexpr std::string_view kVirtualPortUnavailable = "Puerto virtual no disponible >AJUSTAR";
inline constexpr std::string_view kManualOffsetInvalid = "Variación manual no válida: escribir un número";
inline constexpr std::string_view kFilterOutOfRange =
    "Filtro [FILT] de trac_conf.cfg fuera de -4095..4095 >AJUSTAR";
// The first radius of the prepared shape has no two-byte form on the wire.
inline constexpr std::string_view kShapeNotSendable =
    "Radio de la forma fuera de 0..655,35 mm: no se puede enviar";
inline constexpr std::string_view kSizesHorizontal = "horitzontal :";  // then mida_h
inline constexpr std::string_view kSizesVertical = " Vertical :";      // then mida_v, 2 blanks, offset_radi

// Size offsets
inline constexpr std::string_view kLargerHover =
    "Para lentes DEMO o que se muevan ligeramente aumenta + 0,15mm";
inline constexpr std::string_view kSameHover = "Para lentes uso general y al AIRE mantiene  medida";
inline constexpr std::string_view kSmallerHover = "Para lentes RANURADAS disminuye -0,10mm";
inline constexpr std::string_view kOffsetHere = "Aquí";
inline constexpr std::string_view kAdjustManually = "Para ajustar manualmente.";
inline constexpr std::string_view kManualOffsetHover = "Variación de tamaño al enviar";
inline constexpr std::string_view kDecrementHover = "Decrementar 0.05";
inline constexpr std::string_view kIncrementHover = "incrementar 0.05";
inline constexpr std::string_view kManualOffsetInitial = "0,00";
inline constexpr std::string_view kCorrectionSet = "...corrección establecida !!";
inline constexpr std::string_view kManualOk = "OK";
inline constexpr std::string_view kClosePanel = "x";
inline constexpr std::string_view kStepUp = "+";
inline constexpr std::string_view kStepDown = "-";
inline constexpr std::string_view kGeneralOffsetExit = "Salir";
inline constexpr std::string_view kGeneralOffsetInvalid = "Corrección no válida: escribir un número";

// Virtual port towards the host: why an operation failed (shown after kVirtualPortStartFailed
// or by the send).
inline constexpr std::string_view kVirtualPortBadName = "nombre de puerto no válido: ";    // then the name
inline constexpr std::string_view kVirtualPortInUse = " ya lo usa otro programa";          // after the name
inline constexpr std::string_view kVirtualPortNotCreated = "no se pudo crear el puerto ";  // then the name
inline constexpr std::string_view kVirtualPortMissing = "el puerto virtual no existe";
inline constexpr std::string_view kVirtualPortClosed = "el puerto virtual está cerrado";
inline constexpr std::string_view kVirtualPortNotRead = "la aplicación no lee el puerto";
inline constexpr std::string_view kVirtualPortUnsafeFolder =
    "carpeta de puertos rechazada (enlace simbólico o de otro usuario): ";                // then the folder
inline constexpr std::string_view kVirtualPortNotOpened = "no se pudo abrir el puerto ";  // then the name
// Windows: the host's port is one end of a com0com null-modem pair, made by its control program
// with an administrator's consent asked for that run only. The first two also follow
// kVirtualPortStartFailed in the information box, so they stay short.
inline constexpr std::string_view kPairControlMissing = "instale com0com como administrador";
inline constexpr std::string_view kPairMissing = "pulse CONFIG para crearlo";
inline constexpr std::string_view kPairDriverMissing =
    "com0com no creó el par de puertos: vuelva a instalarlo como administrador";
inline constexpr std::string_view kPairNeedsAdministrator =
    "crear el puerto virtual requiere el permiso de un administrador: acéptelo cuando Windows lo pida";
inline constexpr std::string_view kPairControlFailed = "setupc.exe de com0com falló: ";  // then what it said

// Settings file
inline constexpr std::string_view kSettingsMissing =
    "No se encontró trac_conf.cfg: se ha creado uno con valores por defecto";
inline constexpr std::string_view kSettingsUnreadable =
    "No se pudo leer trac_conf.cfg: se ha creado uno con valores por defecto";
inline constexpr std::string_view kSettingsEmpty =
    "trac_conf.cfg estaba vacío: se ha creado uno con valores por defecto";
inline constexpr std::string_view kSettingsDefaultsNotSaved =
    "No se pudo crear trac_conf.cfg: se usan valores por defecto sin guardar";
inline constexpr std::string_view kSettingsNotSaved = "No se pudo guardar trac_conf.cfg";
inline constexpr std::string_view kDiskFull = "disco lleno";
inline constexpr std::string_view kNoWritePermission = "sin permiso de escritura";
inline constexpr std::string_view kReadOnly = "el archivo es de solo lectura";
inline constexpr std::string_view kSettingsNoSettings =
    "trac_conf.cfg no contenía ningún ajuste: guardado como ";
inline constexpr std::string_view kSettingsDefaultsWritten = "; se ha creado uno con valores por defecto";

// Shell
inline constexpr std::string_view kTitleAttention = "Atenció";
inline constexpr std::string_view kTitleConfiguration = "Configuracón";
inline constexpr std::string_view kConfigureButton = "CONFIG";
inline constexpr std::string_view kAuto = "Auto";
inline constexpr std::string_view kContinue = "Continuar";
// The message boxes' buttons, as a Spanish Windows names them (Qt's own are English).
inline constexpr std::string_view kOk = "Aceptar";
inline constexpr std::string_view kCancel = "Cancelar";
inline constexpr std::string_view kExitWhileHostHolds = "Abortar primero en Tavrek luego en Kovrel ";
// info_vista: the administrator notice, after a line of blanks.
inline constexpr std::string_view kAdminNotice =
    "                                        \n"
    "Atención !!! para que los cambios \n"
    "de configuración tengan efecto en \n"
    "windows Vista o posterior debe \n"
    "iniciar la aplicación como \n"
    "administrador, si ya lo ha realizado \n"
    "seleccione CONTINUAR si no CANCELE e inicie como administrador con la opción auto desactivada";

}  // namespace kovrel::texts
