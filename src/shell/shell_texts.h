#pragma once
// Texts of the application shell: the port configuration request, the hand-over of a second
// start and the tray icon (UTF-8). Blanks, accents and the carriage return count.

#include <string_view>

namespace kovrel::texts {

// The configuration request asks first; the carriage return breaks the question in two lines.
inline constexpr std::string_view kConfigureQuestion = "Desea configurar\rpuertos Kovrel ?";
inline constexpr std::string_view kHostHoldsPortConfigure =
    "aplicación utilitzando el puerto cerrarla primero";
inline constexpr std::string_view kConfigurationInProgress = "...Configuración en proceso...";
inline constexpr std::string_view kConfigurationAborted = "..Configuración abortada";

// A second start that cannot bring the running copy forward still leaves; it says why, once.
inline constexpr std::string_view kAlreadyRunning = "Kovrel ya está en marcha y no se pudo mostrar: ";
inline constexpr std::string_view kHandOverNoSettings = "no se pudo leer trac_conf.cfg";
inline constexpr std::string_view kHandOverPortsNotSetUp = "sus puertos no están configurados";
inline constexpr std::string_view kHandOverBadPort = "el puerto virtual no es válido: ";  // then [VSPA]
inline constexpr std::string_view kHandOverPortFailed = "no se pudo abrir ";              // then "COM5"

// The tray icon while the window is hidden in automatic mode.
inline constexpr std::string_view kTrayShow = "Mostrar Kovrel";
inline constexpr std::string_view kTrayExit = "Salir";

}  // namespace kovrel::texts
