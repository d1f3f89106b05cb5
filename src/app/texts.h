#pragma once
// Every text the operator reads, exactly as the lab knows it (UTF-8). Blanks and accents count:
// operators and service technicians recognise these messages by their look.

#include <string_view>

namespace kovrel::texts {

// Main window
inline constexpr std::string_view kCaption = "  Kovrel   v1.4";
inline constexpr std::string_view kInfoInitial = "                       >>  INFO de proceso <<";  // 23 blanks
inline constexpr std::string_view kInfoToolTip = "Ventana de información";
inline constexpr std::string_view kReadButton = "Leer forma de lente";
inline constexpr std::string_view kSendButton = "Enviar forma escaneada";
inline constexpr std::string_view kMirrorButton = "espejo horizontal";
inline constexpr std::string_view kClockwiseButton = "giro horario";
inline constexpr std::string_view kCounterClockwiseButton = "giro antihorario";
inline constexpr std::string_view kServicePanelFrame = "Opciones Avanzadas solo para Servicio tecnico";
inline constexpr std::string_view kCalibrationNotice = "    VERIFICANT                  INSTRUMENT !!!";

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
inline constexpr std::string_view kNoHeaderSerial = "777777";

// Send
inline constexpr std::string_view kNoHostWaiting = "No hay ninguna aplicación esperando forma!!";
inline constexpr std::string_view kSending = " Enviando forma OMA...";
inline constexpr std::string_view kOutputPortMissing = "Puerto de salida no existente >AJUSTAR";
inline constexpr std::string_view kOmaTimeout = "TimeOut OMA Comunication";
inline constexpr std::string_view kSentOk = "Envio >OK< ";

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

// Shell
inline constexpr std::string_view kTitleAttention = "Atenció";
inline constexpr std::string_view kTitleConfiguration = "Configuracón";
inline constexpr std::string_view kConfigureButton = "CONFIG";
inline constexpr std::string_view kAuto = "Auto";
inline constexpr std::string_view kContinue = "Continuar";
inline constexpr std::string_view kCancel = "Cancelar";

}  // namespace kovrel::texts
