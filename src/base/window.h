#pragma once
// The main window as the program's logic sees it: controls by name, each with the few
// properties the handlers set (enabled, visible, text, tick, colour, geometry in twips).
// The Qt window implements it; tests use an in-memory fake. Keeping the handlers on this seam
// lets every rule about buttons and messages be tested without a display.

#include <cstdint>
#include <string>
#include <string_view>

namespace kovrel {

// Every control of the main window that a handler touches, under its object name.
// clang-format off
#define KOVREL_CONTROLS(X)                                                                    \
  X(Form1) X(Text1) X(llegirBtn) X(parada) X(sortirBtn) X(cfg_btn) X(interpola)                \
  X(antiHorari) X(Horari) X(mirallHoritzontal) X(Picture1) X(ProgressBar1)                     \
  X(port_oma_info_lbl) X(autochk) X(veri_instrument_txt) X(midesLbl) X(historialBtn)            \
  /* service panel, in the order it is shown and hidden */                                     \
  X(Frame1) X(temp_actual) X(Label9) X(polsos_temp) X(CompSiNoChk) X(label20) X(serieLbl)      \
  X(openCfgBtn) X(Shape2) X(contadorLectures) X(noCapsaleraChk) X(Label3) X(noMidesChk)        \
  X(Label4) X(calibraCentreChk) X(Label6) X(ActualitzaDatoChk) X(Label2) X(CentEncBtn)         \
  X(PortEncEstatOpc) X(CalibracioEncoderTxt) X(monitorEncoderShp) X(Label8) X(AD_temp)         \
  X(Label10)                                                                                   \
  /* lens-type and manual-offset panel */                                                      \
  X(Picture3) X(Image_clara_gran) X(Image_clara_igual) X(Image_clara_petita)                   \
  X(Image_fosca_gran) X(Image_fosca_igual) X(Image_fosca_petita) X(offset_aquiLbl)             \
  X(ajustar_manualmentLbl) X(offset_mida) X(OffsetMenysBtn) X(OffsetMesBtn) X(OK_manualbtn)    \
  X(SurtEviaOma)                                                                               \
  /* general-offset panel and administrator notice */                                          \
  X(offsetTxt) X(mes_offset) X(menys_offset) X(sortir_offset) X(info_vista) X(inicio_adminBtn) \
  X(cancelar_adminBtn)
// clang-format on

enum class Control : int {
#define KOVREL_ENUM(name) name,
  KOVREL_CONTROLS(KOVREL_ENUM)
#undef KOVREL_ENUM
      Count
};

constexpr int kControlCount = static_cast<int>(Control::Count);

// The control's object name ("llegirBtn").
std::string_view objectName(Control c);

// The service panel's controls in the order they are shown and hidden.
inline constexpr Control kServicePanel[] = {Control::Frame1,
                                            Control::temp_actual,
                                            Control::Label9,
                                            Control::polsos_temp,
                                            Control::CompSiNoChk,
                                            Control::label20,
                                            Control::serieLbl,
                                            Control::openCfgBtn,
                                            Control::Shape2,
                                            Control::contadorLectures,
                                            Control::noCapsaleraChk,
                                            Control::Label3,
                                            Control::noMidesChk,
                                            Control::Label4,
                                            Control::calibraCentreChk,
                                            Control::Label6,
                                            Control::ActualitzaDatoChk,
                                            Control::Label2,
                                            Control::CentEncBtn,
                                            Control::PortEncEstatOpc,
                                            Control::CalibracioEncoderTxt,
                                            Control::monitorEncoderShp,
                                            Control::Label8,
                                            Control::AD_temp,
                                            Control::Label10};

// Colours as red/green/blue.
struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(Rgb, Rgb) = default;
};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};

// Main window heights in twips: service panel closed / open. The open panel sits below the
// shape's sizes (midesLbl), which take the last line of the closed window.
inline constexpr int kFormHeightClosed = 6270;
inline constexpr int kFormHeightOpen = 8415;

class Window {
 public:
  virtual ~Window() = default;

  virtual void setEnabled(Control c, bool on) = 0;
  virtual bool isEnabled(Control c) const = 0;
  virtual void setVisible(Control c, bool on) = 0;
  virtual bool isVisible(Control c) const = 0;
  // Caption of a label, button or window; text of a text box (UTF-8).
  virtual void setText(Control c, std::string_view text) = 0;
  virtual std::string text(Control c) const = 0;
  virtual void setChecked(Control c, bool on) = 0;
  virtual bool isChecked(Control c) const = 0;
  virtual void setForeColor(Control c, Rgb colour) = 0;
  virtual Rgb foreColor(Control c) const = 0;
  // Text1's code entry: typed characters shown as "*".
  virtual void setPasswordMode(Control c, bool on) = 0;
  virtual bool passwordMode(Control c) const = 0;
  virtual void setValue(Control c, int value) = 0;  // progress bar position
  virtual int value(Control c) const = 0;
  // Geometry in twips (1/1440 inch): Form1's height, Picture3's top and height.
  virtual int heightTwips(Control c) const = 0;
  virtual void setHeightTwips(Control c, int twips) = 0;
  virtual int topTwips(Control c) const = 0;
  virtual void setTopTwips(Control c, int twips) = 0;
  virtual void bringToFront(Control c) = 0;
  // Paint the control now, inside a handler that has not returned yet.
  virtual void repaint(Control c) = 0;
  // A modal message with the information icon.
  virtual void messageBox(std::string_view text, std::string_view title) = 0;
  // The operator's decimal separator ("," in a Spanish locale).
  virtual char decimalSeparator() const = 0;
};

}  // namespace kovrel
