#include "settings/size_offsets.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/number_text.h"
#include "base/texts.h"

namespace kovrel {
namespace {

// Picture3 slides up from its bottom edge: fast while small, slower near the top, in twips.
constexpr int kPanelSlowFrom = 1050;
constexpr int kPanelOpen = 1215;
constexpr int kPanelSlowBelow = 200;
constexpr int kPanelClosed = 15;
constexpr int kFastStep = 40;
constexpr int kSlowStep = 15;

// The manual offset moves in 0.05 mm steps within half a millimetre either way; the general
// offset's counter in 0.01 mm steps within the same range.
constexpr double kManualStep = 0.05;
constexpr double kGeneralStep = 0.01;
constexpr double kOffsetLimit = 0.5;

// Stepped values are kept to whole hundredths of a millimetre, so ten steps of 0.05 land on
// 0.5 exactly and the text shows "0,5" rather than "0,500000000000001".
double toHundredths(double mm) { return std::round(mm * 100.0) / 100.0; }

Control darkPicture(LensType type) {
  switch (type) {
    case LensType::Larger:
      return Control::Image_fosca_gran;
    case LensType::Same:
      return Control::Image_fosca_igual;
    case LensType::Smaller:
      break;
  }
  return Control::Image_fosca_petita;
}

// Starts one slide of Picture3 and ends the other: run together they undo each other's step on
// every tick, neither reaches its end, and the lens-type pictures, which ignore clicks while the
// panel slides, stay dead. It happens when the panel is asked open again while it still folds
// away (a quick read after a send) or closed with its "x" while it still opens.
void slide(Timer& starting, Timer& other) {
  other.stop();
  starting.start();
}

constexpr Control kManualEditor[] = {Control::OK_manualbtn, Control::offset_mida, Control::OffsetMesBtn,
                                     Control::OffsetMenysBtn};
constexpr Control kGeneralButtons[] = {Control::sortir_offset, Control::mes_offset, Control::menys_offset};

}  // namespace

double lensTypeOffset(LensType type) {
  switch (type) {
    case LensType::Larger:
      // 0.2 mm, although the picture's hover text speaks of 0,15 mm.
      return 0.2;
    case LensType::Same:
      return 0.0;
    case LensType::Smaller:
      break;
  }
  return -0.1;
}

SizeOffsets::SizeOffsets(SharedState& state, Window& window, Timer& timer1, Timer& timer2, Hooks hooks)
    : s_(state), w_(window), timer1_(timer1), timer2_(timer2), hooks_(std::move(hooks)) {
  timer1_.onTick = [this] { Timer1_Timer(); };
  timer2_.onTick = [this] { Timer2_Timer(); };
}

// --- Lens-type panel ---------------------------------------------------------------------------

void SizeOffsets::openPanel() {
  slide(timer1_, timer2_);
  w_.setVisible(Control::Picture3, true);
}

void SizeOffsets::Timer1_Timer() {
  int h = w_.heightTwips(Control::Picture3);
  int step = h < kPanelSlowFrom ? kFastStep : (h < kPanelOpen ? kSlowStep : 0);
  if (step == 0) {
    w_.setHeightTwips(Control::Picture3, kPanelOpen);
    timer1_.stop();
    return;
  }
  // Growing upwards: the bottom edge stays where it is.
  w_.setHeightTwips(Control::Picture3, h + step);
  w_.setTopTwips(Control::Picture3, w_.topTwips(Control::Picture3) - step);
}

void SizeOffsets::Timer2_Timer() {
  int h = w_.heightTwips(Control::Picture3);
  int step = h > kPanelSlowBelow ? kFastStep : (h > kPanelClosed ? kSlowStep : 0);
  if (step == 0) {
    w_.setHeightTwips(Control::Picture3, kPanelClosed);
    timer2_.stop();
    return;
  }
  w_.setHeightTwips(Control::Picture3, h - step);
  w_.setTopTwips(Control::Picture3, w_.topTwips(Control::Picture3) + step);
}

void SizeOffsets::lensTypeClick(LensType type) {
  // A click while the panel slides, while the manual editor is open or once this read has its
  // lens type would send twice or with a half-chosen offset.
  if (timer1_.isActive() || timer2_.isActive()) return;
  if (w_.isVisible(Control::OK_manualbtn)) return;
  if (s_.tipoMontura == 1) return;
  s_.normalOaire = lensTypeOffset(type);
  slide(timer2_, timer1_);
  s_.tipoMontura = 1;
  if (hooks_.interpola_Click) hooks_.interpola_Click();
}

void SizeOffsets::lightPictureHover(LensType type) {
  w_.bringToFront(darkPicture(type));
  s_.estem_en_picture3 = 0;
}

void SizeOffsets::Picture3_MouseMove() {
  if (s_.estem_en_picture3 == 1) return;
  for (Control c : {Control::Image_clara_gran, Control::Image_clara_igual, Control::Image_clara_petita})
    w_.bringToFront(c);
  s_.estem_en_picture3 = 1;
}

// --- Manual offset editor ----------------------------------------------------------------------

namespace {

// The manual box as a number; text that is not one counts as 0 when stepping.
double manualValue(const Window& w) {
  double v = 0.0;
  if (!parseLocaleNumber(w.text(Control::offset_mida), w.decimalSeparator(), v)) return 0.0;
  return v;
}

void closeManualEditor(Window& w) {
  w.setVisible(Control::ajustar_manualmentLbl, true);
  w.setVisible(Control::offset_aquiLbl, true);
  for (Control c : kManualEditor) {
    w.setVisible(c, false);
    w.setEnabled(c, false);
  }
}

}  // namespace

void SizeOffsets::offset_aquiLbl_Click() {
  w_.setVisible(Control::ajustar_manualmentLbl, false);
  w_.setVisible(Control::offset_aquiLbl, false);
  for (Control c : kManualEditor) {
    w_.setVisible(c, true);
    w_.setEnabled(c, true);
  }
}

void SizeOffsets::OffsetMesBtn_Click() {
  w_.setPasswordMode(Control::Text1, false);
  double v = manualValue(w_);
  if (v >= kOffsetLimit) {
    w_.setText(Control::offset_mida, localeNumber(kOffsetLimit, w_.decimalSeparator()));
    return;
  }
  double next = toHundredths(v + kManualStep);
  w_.setText(Control::offset_mida, localeNumber(next, w_.decimalSeparator()));
  if (next > 0) w_.setForeColor(Control::offset_mida, kBlue);
  if (next == 0) w_.setForeColor(Control::offset_mida, kBlack);
}

void SizeOffsets::OffsetMenysBtn_Click() {
  w_.setPasswordMode(Control::Text1, false);
  double v = manualValue(w_);
  if (v <= -kOffsetLimit) {
    w_.setText(Control::offset_mida, localeNumber(-kOffsetLimit, w_.decimalSeparator()));
    return;
  }
  double next = toHundredths(v - kManualStep);
  w_.setText(Control::offset_mida, localeNumber(next, w_.decimalSeparator()));
  if (next < 0) w_.setForeColor(Control::offset_mida, kRed);
  if (next == 0) w_.setForeColor(Control::offset_mida, kBlack);
}

void SizeOffsets::offset_mida_Change() {
  // Text that is not (yet) a number is left alone while the operator types ("-", "0,"); the send
  // refuses it if it is still there.
  double v = 0.0;
  if (!parseLocaleNumber(w_.text(Control::offset_mida), w_.decimalSeparator(), v)) return;
  if (v > kOffsetLimit || v < -kOffsetLimit) {
    w_.setText(Control::offset_mida, "0");
    w_.setForeColor(Control::offset_mida, kBlack);
  }
}

void SizeOffsets::OK_manualbtn_Click() {
  closeManualEditor(w_);
  slide(timer2_, timer1_);
  s_.normalOaire = 0.0;
  s_.tipoMontura = 1;
  if (hooks_.interpola_Click) hooks_.interpola_Click();
}

void SizeOffsets::SurtEviaOma_Click() {
  slide(timer2_, timer1_);
  w_.setEnabled(Control::parada, true);
  closeManualEditor(w_);
  if (hooks_.lensTypePanelClosed) hooks_.lensTypePanelClosed();
}

// --- General offset panel ----------------------------------------------------------------------

void SizeOffsets::activa_offset() {
  const double general = s_.OffsetMida.toNumber();
  s_.offset_ajust = std::clamp(general, -kOffsetLimit, kOffsetLimit);
  for (Control c : kGeneralButtons) {
    w_.setVisible(c, true);
    w_.setEnabled(c, true);
  }
  w_.setVisible(Control::offsetTxt, true);
  // The counter follows the shown offset, so the half-millimetre limit is the offset's: a
  // general offset of about zero starts it at zero. (Starting it at zero for any negative offset
  // let "-" take -0.3 mm down to -0.8 mm. The operator's manual box plays no part here.)
  if (general < 0.01 && general > -0.01) s_.offset_ajust = 0.0;
  w_.setText(Control::offsetTxt, localeNumber(general, w_.decimalSeparator()));
}

namespace {

// The general-offset box as a number; text that is not one counts as 0 when stepping.
double generalValue(const Window& w) {
  double v = 0.0;
  if (!parseLocaleNumber(w.text(Control::offsetTxt), w.decimalSeparator(), v)) return 0.0;
  return v;
}

}  // namespace

void SizeOffsets::mes_offset_Click() {
  if (s_.offset_ajust >= kOffsetLimit) return;
  s_.offset_ajust = toHundredths(s_.offset_ajust + kGeneralStep);
  w_.setText(Control::offsetTxt,
             localeNumber(toHundredths(generalValue(w_) + kGeneralStep), w_.decimalSeparator()));
}

void SizeOffsets::menys_offset_Click() {
  if (s_.offset_ajust <= -kOffsetLimit) return;
  s_.offset_ajust = toHundredths(s_.offset_ajust - kGeneralStep);
  w_.setText(Control::offsetTxt,
             localeNumber(toHundredths(generalValue(w_) - kGeneralStep), w_.decimalSeparator()));
}

void SizeOffsets::sortir_offset_Click() {
  // The value goes into every sent shape and into the settings file: garbage must not get there.
  double general = 0.0;
  if (!parseLocaleNumber(w_.text(Control::offsetTxt), w_.decimalSeparator(), general)) {
    w_.setText(Control::Text1, texts::kGeneralOffsetInvalid);
    return;
  }
  s_.OffsetMida = general;
  for (Control c : kGeneralButtons) {
    w_.setVisible(c, false);
    w_.setEnabled(c, false);
  }
  w_.setVisible(Control::offsetTxt, false);
  w_.setVisible(Control::info_vista, false);
  w_.setText(Control::Text1, texts::kCorrectionSet);
  s_.obre_offset = "no";
}

}  // namespace kovrel
