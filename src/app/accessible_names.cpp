#include "app/accessible_names.h"

#include <array>
#include <utility>

namespace kovrel {
namespace {

struct Entry {
  Control c;
  std::string_view name;         // empty: named by its text or by its caption label
  std::string_view description;  // empty: none (or the tool tip, where there is one)
};

// clang-format off
constexpr Entry kEntries[] = {
    {Control::Form1, {}, {}},  // the window title
    {Control::Text1, "Ventana de información", {}},
    {Control::llegirBtn, "LEER, leer forma de lente", {}},
    {Control::parada, "STOP, parar lectura", {}},
    {Control::sortirBtn, "SALIR, salir del programa", {}},
    {Control::cfg_btn, "CONFIG, configurar puertos", {}},
    {Control::interpola, "ENVIAR, enviar forma escaneada", {}},
    {Control::antiHorari, "Giro antihorario", {}},
    {Control::Horari, "Giro horario", {}},
    {Control::mirallHoritzontal, "Espejo horizontal", {}},
    {Control::Picture1, "Forma de la lente", {}},
    {Control::ProgressBar1, "Progreso de la lectura", {}},
    {Control::port_oma_info_lbl, {}, "Puerto del programa de laboratorio"},
    {Control::autochk, "Auto, modo automático", {}},
    {Control::veri_instrument_txt, {}, "Aviso de verificación del instrumento"},
    {Control::midesLbl, {}, "Medidas de la forma"},
    {Control::historialBtn, "Historial, lecturas guardadas", {}},
    {Control::Frame1, {}, "Opciones de servicio técnico"},
    {Control::temp_actual, {}, "Temperatura"},
    {Control::Label9, {}, {}},
    {Control::polsos_temp, {}, "Compensación de temperatura"},
    {Control::CompSiNoChk, "Compensar temperatura", {}},
    {Control::label20, {}, {}},
    {Control::serieLbl, {}, "Número de serie"},
    {Control::openCfgBtn, "Config, ventana de configuración", {}},
    {Control::Shape2, "Marco del contador de trabajos", {}},
    {Control::contadorLectures, {}, "Contador de trabajos"},
    {Control::noCapsaleraChk, {}, "Leer sin cabecera"},
    {Control::Label3, {}, {}},
    {Control::noMidesChk, {}, "Mostrar medidas X/Y"},
    {Control::Label4, {}, {}},
    {Control::calibraCentreChk, {}, "Calibrar carrera"},
    {Control::Label6, {}, {}},
    {Control::ActualitzaDatoChk, {}, "Actualizar valor"},
    {Control::Label2, {}, {}},
    {Control::CentEncBtn, "Enco, monitor del encoder", {}},
    {Control::PortEncEstatOpc, "Estado del encoder", {}},
    {Control::CalibracioEncoderTxt, "Calibración del encoder", {}},
    {Control::monitorEncoderShp, "Indicador del encoder", {}},
    {Control::Label8, {}, {}},
    {Control::AD_temp, {}, "Dato de temperatura"},
    {Control::Label10, {}, {}},
    {Control::Picture3, "Tipo de lente", {}},
    {Control::Image_clara_gran, "Lente de demostración, imagen", {}},
    {Control::Image_clara_igual, "Lente de uso general, imagen", {}},
    {Control::Image_clara_petita, "Lente ranurada, imagen", {}},
    // The lens-type choices show a picture: named by what they do to the size sent, the lens
    // after it; the hover text is their description.
    {Control::Image_fosca_gran, "Aumentar medida, lente de demostración", {}},
    {Control::Image_fosca_igual, "Mantener medida, lente de uso general", {}},
    {Control::Image_fosca_petita, "Disminuir medida, lente ranurada", {}},
    {Control::offset_aquiLbl, "Aquí, ajustar manualmente", {}},
    {Control::ajustar_manualmentLbl, {}, {}},
    {Control::offset_mida, "Variación de tamaño al enviar", {}},
    {Control::OffsetMenysBtn, "-, decrementar variación", {}},
    {Control::OffsetMesBtn, "+, incrementar variación", {}},
    {Control::OK_manualbtn, "OK, enviar con la variación", {}},
    {Control::SurtEviaOma, "x, cerrar sin enviar", {}},
    {Control::offsetTxt, "Corrección general", {}},
    {Control::mes_offset, "+, incrementar corrección general", {}},
    {Control::menys_offset, "-, decrementar corrección general", {}},
    {Control::sortir_offset, "Salir de la corrección general", {}},
    {Control::info_vista, "Aviso de administrador", {}},
    {Control::inicio_adminBtn, "Continuar", {}},
    {Control::cancelar_adminBtn, "Cancelar", {}},
};

// Caption labels and the control each one names, side by side on the service panel.
constexpr std::pair<Control, Control> kCaptions[] = {
    {Control::Label10, Control::temp_actual},       {Control::Label9, Control::polsos_temp},
    {Control::Label8, Control::AD_temp},            {Control::label20, Control::serieLbl},
    {Control::Label3, Control::noCapsaleraChk},     {Control::Label4, Control::noMidesChk},
    {Control::Label6, Control::calibraCentreChk},   {Control::Label2, Control::ActualitzaDatoChk},
};
// clang-format on

constexpr std::array<Entry, kControlCount> table() {
  std::array<Entry, kControlCount> entries{};
  for (const Entry& e : kEntries) entries[static_cast<std::size_t>(e.c)] = e;
  return entries;
}

constexpr std::array<Entry, kControlCount> kTable = table();

}  // namespace

std::string_view accessibleName(Control c) { return kTable[static_cast<std::size_t>(c)].name; }

std::string_view accessibleDescription(Control c) { return kTable[static_cast<std::size_t>(c)].description; }

Control captionLabelOf(Control c) {
  for (const auto& [label, named] : kCaptions) {
    if (named == c) return label;
  }
  return Control::Count;
}

}  // namespace kovrel
