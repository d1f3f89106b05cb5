#include "ports/guidance.h"

#include <array>

namespace kovrel {
namespace {

// The lines are the technician's instructions as printed in the field; trailing blanks included.
constexpr std::array<std::string_view, 8> kNoUsbPort = {
    "INSTRUCCIONES :  No se ha encontrado ningún puerto USB !!",
    "1/ Verificar que el cable esté correctamente conectado",
    "2/ Verificar si existe algún USB Serial Port (COM) en el Administrador de dispositivos",
    "-Si no hay ningún USB en (Puertos COM y LTP) el cable o el driver fallan",
    "-Reiniciar equipo sin el cable USB conectado, esperar su detección y lanzar Kovrel",
    "3/ Si existe algún USB Serial Port desconectar/conectar el cable del tracer y volver a probar",
    "4/ Si continua el error reiniciar el PC y volver a lanzar configuración Kovrel",
    "** Si continúa el problema contactar con su proveedor",
};

constexpr std::array<std::string_view, 9> kDetectionFailed = {
    "INSTRUCCIONES : falla la detección !!",
    "Este error se produce debido a que no se reciben datos cuando se pulsa START",
    "1/ Verificar que el cable esté correctamente conectado",
    "2/ Verificar si existe algun USB Serial Port (COM) en el Administrador de dispositivos",
    "-Si no hay ningún USB en (Puertos COM y LTP) el cable o el driver fallan",
    "-Reiniciar equipo sin el cable USB conectado, esperar su detección y lanzar Kovrel",
    "3/ Si existe algun USB Serial Port desconectar/conectar el cable del tracer y vovler a lanzar Kovrel",
    "4/ Si continua el error reiniciar el PC y volver a lanzar configuración Kovrel",
    "** Si continua el problema contactar con su proveedor",
};

constexpr std::array<std::string_view, 9> kNoFreePort = {
    "INSTRUCCIONES : No hay ningún puerto libre entre COM1 y COM 6 !!",
    "Este error se produce debido a que no hay puertos libres de COM1 a COM6 para instalar el puerto "
    "virtual que comunicará con las aplicaciones tipo Tavrek",
    "1/ Abrir administrador de dispositivos (Puertos COM y LTP)",
    "2/ Si hay un puerto USB Serial Port entre COM1 y COM6 deberemos trasladarlo a un com libre entre el "
    "COM6 y el COM15",
    "para realizarlo pulsamos doble click sobre el puerto USB Serial Port (COM x) ",
    "arriba en la segunda pestaña Configuración del puerto pulsamos la tecla opciones avanzadas ",
    "arriba en la casilla numero de puerto COM seleccionamos el puerto ",
    "a continuación desconectamos/esperamos/conectamos el puerto USB del Kovrel para que se de de alta "
    "con el nuevo puerto COM",
    "volvemos a lanzar Kovrel y el error debería desaparecer puesto que ya disponemos de un puerto libre "
    "entre COM1 y COM6",
};

constexpr std::array<std::string_view, 9> kOnePortAbove = {
    "INSTRUCCIONES : El puerto USB es más grande que COM15 !!",
    "Este error se produce debido a que Kovrel solo puede configurarse hasta COM15",
    "1/ Abrir administrador de dispositivos (Puertos COM y LTP)",
    "2/ Buscar USB Serial Port COM X deberemos modificarlo a un COM menor de COM16",
    "Para realizarlo pulsamos doble click sobre el puerto USB Serial Port (COM x) ",
    "En la parte superior en la segunda pestaña CONFIGURACIÓN DEL PUERTO pulsamos la tecla OPCIONES "
    "AVANZADAS",
    "En la casilla NUMERO DE PUERTO COM seleccionamos el puerto ",
    "a continuación desconectamos/esperamos/conectamos el puerto USB del Kovrel para que se de de alta "
    "con el nuevo puerto COM",
    "Ejecutamos Kovrel y el error debería desaparecer puesto que ya disponemos de un puerto inferior a "
    "COM16",
};

constexpr std::array<std::string_view, 10> kTwoPortsOneAbove = {
    "INSTRUCCIONES : Hay dos puertos USB, uno es más grande de COM15 !!",
    "1/ Abrir administrador de dispositivos (Puertos COM y LTP)",
    "2/ Desconectamos el puerto USB del Tracer y observamos si el puerto mayor de COM15 es del tracer",
    "En caso afirmativo saltaremos al siguiente punto en caso negativo desconectaremos momentáneamente "
    "el cable del otro dispositivo USB mayor que COM15, lanzaremos Kovrel y ya no nos fallará la "
    "configuración",
    "Conectamos otra vez el puerto USB del Tracer y lo cambiaremos a un COM inferior a COM16 ",
    "Pulsamos doble click sobre el puerto USB Serial Port (COM x) ",
    "Arriba en la segunda pestaña Configuración del puerto pulsamos la tecla opciones avanzadas ",
    "Arriba en la casilla numero de puerto COM seleccionamos el puerto menor que COM16",
    "a continuación desconectamos/esperamos/conectamos el puerto USB del Kovrel para que se de de alta "
    "con el nuevo puerto COM",
    "Lanzamos Kovrel de nuevo y el error debería desaparecer puesto que ya disponemos de un puerto "
    "inferior aCOM16",
};

// The host's port is a port pair of the com0com driver (Windows); installing the driver, and making
// or moving the pair, is an administrator's. Kovrel itself never runs as one.
constexpr std::array<std::string_view, 8> kNeedsAdministrator = {
    "INSTRUCCIONES : El puerto virtual necesita un administrador !!",
    "Este error se produce debido a que falta el controlador com0com (pares de puertos serie) o a que "
    "Windows no recibió el permiso de un administrador para crear el puerto virtual",
    "1/ Si com0com no está instalado: instalarlo con una cuenta de administrador (botón derecho sobre su "
    "instalador > Ejecutar como administrador)",
    "2/ Lanzar Kovrel normalmente (no hace falta ejecutarlo como administrador) y pulsar CONFIG",
    "3/ Cuando Windows pregunte si setupc.exe de com0com puede hacer cambios, pulsar Sí (o escribir la "
    "contraseña de un administrador)",
    "4/ Esperar a que termine el proceso: el puerto virtual queda creado y ya no vuelve a pedirse permiso",
    "Mientras tanto Kovrel sigue como estaba antes de pulsar CONFIG: el puerto virtual no ha cambiado",
    "** Si continúa el problema contactar con su proveedor",
};

}  // namespace

std::span<const std::string_view> guidanceLines(int code) {
  switch (code) {
    case 2:
      return kNoUsbPort;
    case 3:
      return kDetectionFailed;
    case 4:
      return kNoFreePort;
    case 5:
      return kOnePortAbove;
    case 6:
      return kTwoPortsOneAbove;
    case 7:
      return kNeedsAdministrator;
    default:
      return {};
  }
}

std::string guidanceText(int code) {
  const auto lines = guidanceLines(code);
  if (lines.empty()) return {};
  std::string text(lines.front());
  text += "\r\n";
  for (std::size_t k = 1; k < lines.size(); ++k) {
    text += "\r\n";
    text += lines[k];
    text += "\r\n";
  }
  return text;
}

void aceptar_instruccionsBtn_Click(Window& main) {
  main.setEnabled(Control::llegirBtn, false);
  main.setEnabled(Control::cfg_btn, false);
  main.setEnabled(Control::sortirBtn, true);
}

}  // namespace kovrel
