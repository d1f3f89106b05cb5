#pragma once
// The three size corrections of a sent shape: the lens type chosen for every read (demo lens
// +0.2 mm, general use 0, grooved -0.1 mm), the operator's manual offset typed or stepped on
// the same panel, and the service technician's general offset. Each is a change of the shape's
// size across, in mm; the preparation adds half of their sum to every radius.

#include <functional>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"

namespace kovrel {

enum class LensType { Larger, Same, Smaller };

// normalOaire for a lens type: 0.2, 0, -0.1 mm.
double lensTypeOffset(LensType type);

class SizeOffsets {
 public:
  struct Hooks {
    std::function<void()> interpola_Click;      // the send command
    std::function<void()> lensTypePanelClosed;  // closed with its "x", nothing sent
  };

  // Timer1 opens Picture3 and Timer2 closes it, 20 ms a tick; the class sets their onTick.
  SizeOffsets(SharedState& state, Window& window, Timer& timer1, Timer& timer2, Hooks hooks);

  // Lens-type panel
  void openPanel();  // the send's prompt: Timer1 on, Picture3 shown
  void Timer1_Timer();
  void Timer2_Timer();
  void lensTypeClick(LensType type);      // Image_fosca_*_Click
  void lightPictureHover(LensType type);  // Image_clara_*_MouseMove
  void Picture3_MouseMove();

  // Manual offset editor
  void offset_aquiLbl_Click();
  void OffsetMesBtn_Click();
  void OffsetMenysBtn_Click();
  void offset_mida_Change();
  void OK_manualbtn_Click();
  void SurtEviaOma_Click();

  // General offset panel
  void activa_offset();
  void mes_offset_Click();
  void menys_offset_Click();
  void sortir_offset_Click();

 private:
  SharedState& s_;
  Window& w_;
  Timer& timer1_;
  Timer& timer2_;
  Hooks hooks_;
};

}  // namespace kovrel
