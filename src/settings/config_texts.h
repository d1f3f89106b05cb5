#pragma once
// The texts of the configuration window, the centre calibration and the encoder monitor, exactly
// as the service technicians know them (UTF-8).

#include <string_view>

namespace kovrel::texts {

// Configuration window
inline constexpr std::string_view kConfigCaption = " KVR - Configuración";
inline constexpr std::string_view kSaveButton = "Guardar/Reiniciar";
inline constexpr std::string_view kCloseButton = "Sortir";
inline constexpr std::string_view kAnglePerPulseButton = "<";
inline constexpr std::string_view kTravelButton = "=";

// Why a save or a calculator did nothing. The field is named by its label.
inline constexpr std::string_view kNotANumber = " no es un número: no se ha guardado nada";  // after «label»
inline constexpr std::string_view kIsZero = " no puede ser 0: no se ha guardado nada";  // after «label»
inline constexpr std::string_view kRequiredZero =
    "trac_conf.cfg tiene un valor obligatorio a 0: no se ha guardado nada";
inline constexpr std::string_view kCalcNotANumber =
    " no es un número: no se puede calcular";                                 // after «label»
inline constexpr std::string_view kCalcZero = " es 0: no se puede calcular";  // after «label»
inline constexpr std::string_view kRangeTooWide =
    "«Range» no puede ser el doble de «Radi» o más: no se puede calcular";
inline constexpr std::string_view kCalcOutOfRange = "resultado fuera de rango: no se puede calcular";

// Encoder monitor: the tracer's port could not be taken.
inline constexpr std::string_view kEncoderPortBusyReading =
    "Enco: el puerto del trazador está leyendo una forma";
inline constexpr std::string_view kEncoderPortMissing = "Enco: no existe el puerto COM";  // then the number
inline constexpr std::string_view kEncoderPortInUse =
    "Enco: otro programa usa el puerto COM";  // then the number
inline constexpr std::string_view kEncoderPortFailed =
    "Enco: no se pudo abrir el puerto COM";  // then the number

}  // namespace kovrel::texts
