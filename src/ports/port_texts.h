#pragma once
// Every text of the port set-up, exactly as the labs and service technicians know it (UTF-8).
// Dots and blanks count: the technician recognises each step of the set-up by its look.

#include <string_view>

namespace kovrel::texts {

// The ports window
inline constexpr std::string_view kPortsTitle = "Configuración";
inline constexpr std::string_view kPortsFrame = "  Puerto USB y Virtual Kovrel  ";
inline constexpr std::string_view kPortsWait = "Espere a que termine el proceso.....";
inline constexpr std::string_view kPortsAccept = "Aceptar / Salir";
inline constexpr std::string_view kPortsInstructions = "Instrucciones";

// Opening and the virtual port
inline constexpr std::string_view kCloseSerialApps =
    "...debe cerrar primero las aplicaciones que estan utilizando un puerto serie";
inline constexpr std::string_view kRemovingVirtualPort = "..eliminando puerto virtual";
inline constexpr std::string_view kVirtualPortAt = "Puerto Série Virtual en ";
inline constexpr std::string_view kNoFreePorts =
    "No hay puertos libres inferiores COM6 pulse >instrucciones<";

// The tracer's USB port
inline constexpr std::string_view kTwoPortsOneAbove = "...Hay dos puertos USB uno de ellos en COM";
inline constexpr std::string_view kTwoPortsOneAboveEnd =
    " Kovrel solo admite hasta COM15 siga instrucciones...";
inline constexpr std::string_view kTwoPortsPressStart =
    "Hay 2 puertos serie USB. Para evitar conflictos pulse START en la maquina y a continuación "
    "Acepte para continuar...";
inline constexpr std::string_view kTracerPortAt = "...puerto USB Kovrel en COM";
inline constexpr std::string_view kOnePortAbove = "..puerto USB en COM";
inline constexpr std::string_view kOnePortAboveEnd =
    " Kovrel sólo admite hasta COM15 siga instrucciones para solucionar";
inline constexpr std::string_view kNoTracerPort =
    "...no se encuentra Puerto USB del Kovrel!, pulse instrucciones";
inline constexpr std::string_view kDetectionFailed =
    "...falla la detección, pulse >instrucciones< para solucionar";
inline constexpr std::string_view kRestartNeeded =
    "Los cambios realizados necesitan reiniciar el equipo y volver a lanzar Kovrel";
inline constexpr std::string_view kUnknownError =
    "Error desconocido reinicie el equipo y vuelva a lanzar el programa";

// The finishing step, in the main window's information box
inline constexpr std::string_view kReadyToUse = "...ya puede usar el Kovrel";
// After it: the set-up may have given the host's port another number (the first free one), and
// the lab's host program finds Kovrel only on that one.
inline constexpr std::string_view kHostMustUse = ", Tavrek debe usar ";  // then "COM2"
inline constexpr std::string_view kNotConfigured = "...Kovrel no configurado!!!";

// The instructions window
inline constexpr std::string_view kInstructionsTitle = "Instrucciones Configuración Kovrel";

}  // namespace kovrel::texts
