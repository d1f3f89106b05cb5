#include "app/accessible_names.h"

#include <array>

namespace kovrel {
namespace {

struct Entry {
  Control c;
  std::string_view name;
};

// clang-format off
constexpr Entry kNames[] = {
    {Control::Form1, "Kovrel"},
    {Control::Text1, "Ventana de información"},
    {Control::llegirBtn, "Leer forma de lente"},
    {Control::parada, "Parar lectura"},
    {Control::sortirBtn, "Salir"},
    {Control::cfg_btn, "Configurar puertos"},
    {Control::interpola, "Enviar forma escaneada"},
    {Control::antiHorari, "Giro antihorario"},
    {Control::Horari, "Giro horario"},
    {Control::mirallHoritzontal, "Espejo horizontal"},
    {Control::Picture1, "Forma de la lente"},
    {Control::ProgressBar1, "Progreso de la lectura"},
    {Control::port_oma_info_lbl, "Puerto del programa de laboratorio"},
    {Control::autochk, "Modo automático"},
    {Control::veri_instrument_txt, "Aviso de verificación del instrumento"},
    {Control::Frame1, "Opciones de servicio técnico"},
    {Control::temp_actual, "Temperatura"},
    {Control::Label9, "Etiqueta compensación de temperatura"},
    {Control::polsos_temp, "Compensación de temperatura"},
    {Control::CompSiNoChk, "Compensar temperatura"},
    {Control::label20, "Etiqueta número de serie"},
    {Control::serieLbl, "Número de serie"},
    {Control::openCfgBtn, "Ventana de configuración"},
    {Control::Shape2, "Marco del contador de trabajos"},
    {Control::contadorLectures, "Contador de trabajos"},
    {Control::noCapsaleraChk, "Leer sin cabecera"},
    {Control::Label3, "Etiqueta leer sin cabecera"},
    {Control::noMidesChk, "Mostrar medidas X/Y"},
    {Control::Label4, "Etiqueta mostrar medidas X/Y"},
    {Control::calibraCentreChk, "Calibrar carrera"},
    {Control::Label6, "Etiqueta calibrar carrera"},
    {Control::ActualitzaDatoChk, "Actualizar valor"},
    {Control::Label2, "Etiqueta actualizar valor"},
    {Control::CentEncBtn, "Monitor del encoder"},
    {Control::PortEncEstatOpc, "Estado del encoder"},
    {Control::CalibracioEncoderTxt, "Calibración del encoder"},
    {Control::monitorEncoderShp, "Indicador del encoder"},
    {Control::Label8, "Etiqueta dato de temperatura"},
    {Control::AD_temp, "Dato de temperatura"},
    {Control::Label10, "Etiqueta temperatura"},
    {Control::Picture3, "Tipo de lente"},
    {Control::Image_clara_gran, "Lente de demostración, imagen"},
    {Control::Image_clara_igual, "Lente de uso general, imagen"},
    {Control::Image_clara_petita, "Lente ranurada, imagen"},
    {Control::Image_fosca_gran, "Lente de demostración"},
    {Control::Image_fosca_igual, "Lente de uso general"},
    {Control::Image_fosca_petita, "Lente ranurada"},
    {Control::offset_aquiLbl, "Ajuste manual aquí"},
    {Control::ajustar_manualmentLbl, "Para ajustar manualmente"},
    {Control::offset_mida, "Variación de tamaño al enviar"},
    {Control::OffsetMenysBtn, "Decrementar variación"},
    {Control::OffsetMesBtn, "Incrementar variación"},
    {Control::OK_manualbtn, "Enviar con la variación"},
    {Control::SurtEviaOma, "Cerrar sin enviar"},
    {Control::offsetTxt, "Corrección general"},
    {Control::mes_offset, "Incrementar corrección general"},
    {Control::menys_offset, "Decrementar corrección general"},
    {Control::sortir_offset, "Salir de la corrección general"},
    {Control::info_vista, "Aviso de administrador"},
    {Control::inicio_adminBtn, "Continuar"},
    {Control::cancelar_adminBtn, "Cancelar"},
};
// clang-format on

constexpr std::array<std::string_view, kControlCount> table() {
  std::array<std::string_view, kControlCount> names{};
  for (const Entry& e : kNames) names[static_cast<std::size_t>(e.c)] = e.name;
  return names;
}

constexpr std::array<std::string_view, kControlCount> kTable = table();

}  // namespace

std::string_view accessibleName(Control c) { return kTable[static_cast<std::size_t>(c)]; }

}  // namespace kovrel
