#include "settings/size_offsets.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/texts.h"
#include "fake_timer.h"
#include "fake_window.h"

namespace kovrel {
namespace {

using testing::FakeTimer;
using testing::FakeWindow;

constexpr Control kEditor[] = {Control::OK_manualbtn, Control::offset_mida, Control::OffsetMesBtn,
                               Control::OffsetMenysBtn};
constexpr Control kGeneralButtons[] = {Control::sortir_offset, Control::mes_offset, Control::menys_offset};

class SizeOffsetsTest : public ::testing::Test {
 protected:
  SizeOffsetsTest() {
    // The window as it comes up: editor and general panel hidden, lens-type panel slid shut.
    for (Control c : kEditor) w.setVisible(c, false);
    for (Control c : kGeneralButtons) w.setEnabled(c, false), w.setVisible(c, false);
    w.setVisible(Control::offsetTxt, false), w.setText(Control::offset_mida, texts::kManualOffsetInitial);
    w.setHeightTwips(Control::Picture3, 15), w.setTopTwips(Control::Picture3, 5000);
    s.tipoMontura = 0, s.OffsetMida = 0.0;
  }
  std::string manual() const { return w.text(Control::offset_mida); }
  std::string general() const { return w.text(Control::offsetTxt); }
  void press(void (SizeOffsets::*handler)(), int times) {
    for (int i = 0; i < times; ++i) (offsets.*handler)();
  }

  SharedState s;
  FakeWindow w;
  FakeTimer timer1, timer2;
  int sends = 0;
  SizeOffsets offsets{s, w, timer1, timer2, {[this] { ++sends; }, {}}};
};

TEST_F(SizeOffsetsTest, eachLensTypeSetsItsOffsetAndSendsUnlessThePanelSlidesOrAChoiceStands) {
  // Sliding either way, the manual editor open, or this read's lens type already chosen.
  const std::function<void()> busy[] = {[&] { timer1.active = true; }, [&] { timer2.active = true; },
                                        [&] { w.setVisible(Control::OK_manualbtn, true); },
                                        [&] { s.tipoMontura = "1"; }};
  for (const auto& makeBusy : busy) {
    makeBusy();
    offsets.lensTypeClick(LensType::Larger);
    timer1.active = timer2.active = false, w.setVisible(Control::OK_manualbtn, false), s.tipoMontura = 0;
  }
  EXPECT_TRUE(sends == 0 && s.normalOaire.isEmpty());
  for (auto [type, mm] :
       {std::pair{LensType::Larger, 0.2}, {LensType::Same, 0.0}, {LensType::Smaller, -0.1}}) {
    s.tipoMontura = 0, timer2.active = false, offsets.lensTypeClick(type);
    EXPECT_TRUE(s.normalOaire == mm && s.tipoMontura == 1 && timer2.active) << mm;
  }
  EXPECT_EQ(sends, 3);
}

TEST_F(SizeOffsetsTest, panelSlidesOpenAndShutInFastThenSlowSteps) {
  offsets.openPanel();
  EXPECT_TRUE(w.isVisible(Control::Picture3));
  std::vector<int> heights;
  while (timer1.active && heights.size() < 100) {
    timer1.tick();
    heights.push_back(w.heightTwips(Control::Picture3));
  }
  // 15 + 26 x 40 = 1055, + 11 x 15 = 1220, then pinned at 1215; the top rises as it grows.
  ASSERT_EQ(heights.size(), 38u);
  EXPECT_EQ(std::vector<int>(heights.begin() + 25, heights.begin() + 27), (std::vector<int>{1055, 1070}));
  EXPECT_EQ(std::vector<int>(heights.end() - 2, heights.end()), (std::vector<int>{1220, 1215}));
  EXPECT_EQ(w.topTwips(Control::Picture3), 5000 - 1205);

  // 1215 - 26 x 40 = 175, - 11 x 15 = 10, then pinned at 15.
  timer2.start();
  int ticks = 0;
  for (; timer2.active && ticks < 100; ++ticks) timer2.tick();
  EXPECT_TRUE(ticks == 38 && w.heightTwips(Control::Picture3) == 15 && w.topTwips(Control::Picture3) == 5000);

  // Heights that land on a threshold: at 1050 the opening is already slow, at 200 the closing too.
  for (auto [from, timer, after] : {std::tuple{1010, &timer1, 1065}, {240, &timer2, 185}}) {
    w.setHeightTwips(Control::Picture3, from);
    timer->start(), timer->tick(), timer->tick();
    EXPECT_EQ(w.heightTwips(Control::Picture3), after) << from;
  }
}

TEST_F(SizeOffsetsTest, panelAskedTheOtherWayMidSlideTurnsBackAndStillArrives) {
  // Both timers tick in the window: a tick of each while both run.
  auto tickBoth = [&](int rounds) {
    for (int i = 0; i < rounds; ++i) timer1.tick(), timer2.tick();
  };
  // Closed with its "x" while still opening.
  offsets.openPanel();
  tickBoth(5);
  offsets.SurtEviaOma_Click();
  EXPECT_FALSE(timer1.active);
  tickBoth(100);
  EXPECT_TRUE(!timer2.active && w.heightTwips(Control::Picture3) == 15);

  // Asked open again (a new read sent at once) while it still folds away after a choice.
  offsets.openPanel();
  tickBoth(100);
  offsets.lensTypeClick(LensType::Same);
  tickBoth(5);
  offsets.openPanel();
  EXPECT_FALSE(timer2.active);
  tickBoth(100);
  EXPECT_TRUE(!timer1.active && w.heightTwips(Control::Picture3) == 1215);
  s.tipoMontura = 0;
  offsets.lensTypeClick(LensType::Larger);  // the pictures take clicks again
  EXPECT_EQ(sends, 2);
}

TEST_F(SizeOffsetsTest, stepsOfFiveHundredthsAndTypedValuesStopAtHalfAMillimetreWithTheSignsColour) {
  w.setPasswordMode(Control::Text1, true);
  // From the box as typed (or as left), steps up (or down, negative): its text and colour after.
  const std::tuple<const char*, int, const char*, Rgb> rows[] = {
      {nullptr, 10, "0,5", kBlue}, {nullptr, 1, "0,5", kBlue},   {nullptr, -9, "0,05", kBlue},
      {nullptr, -1, "0", kBlack},  {nullptr, -3, "-0,15", kRed}, {nullptr, -8, "-0,5", kRed},
      {"abc", 1, "0,05", kBlue},     // text that is not a number starts at 0
      {"0,123", 1, "0,17", kBlue}};  // a step lands on whole hundredths
  for (auto [typed, steps, shown, colour] : rows) {
    if (typed) w.setText(Control::offset_mida, typed);
    press(steps < 0 ? &SizeOffsets::OffsetMenysBtn_Click : &SizeOffsets::OffsetMesBtn_Click, std::abs(steps));
    EXPECT_TRUE(manual() == shown && w.foreColor(Control::offset_mida) == colour) << shown << " " << manual();
    EXPECT_FALSE(w.passwordMode(Control::Text1));
  }
  // A typed value beyond half a millimetre becomes zero.
  const std::pair<const char*, const char*> typedRows[] = {{"0,7", "0"},   {"-0,6", "0"},    {"0,51", "0"},
                                                           {"0,5", "0,5"}, {"-0,5", "-0,5"}, {"0,25", "0,25"},
                                                           {"-", "-"},     {"0,", "0,"}};
  for (auto [typed, shown] : typedRows) {
    w.setText(Control::offset_mida, typed);
    w.setForeColor(Control::offset_mida, kBlue);
    offsets.offset_mida_Change();
    EXPECT_EQ(manual(), shown) << typed;
    EXPECT_EQ(w.foreColor(Control::offset_mida) == kBlack, std::string(shown) == "0") << typed;
  }
  w.separator = '.';
  w.setText(Control::offset_mida, "0.1");
  offsets.OffsetMesBtn_Click();
  EXPECT_EQ(manual(), "0.15");
}

TEST_F(SizeOffsetsTest, okSendsWithoutLensTypeOffsetWhileTheCrossOnlyCloses) {
  s.normalOaire = 0.2;
  w.setEnabled(Control::parada, false);
  offsets.offset_aquiLbl_Click();
  EXPECT_FALSE(w.isVisible(Control::offset_aquiLbl) || w.isVisible(Control::ajustar_manualmentLbl));
  for (Control c : kEditor) EXPECT_TRUE(w.isVisible(c) && w.isEnabled(c)) << objectName(c);
  offsets.OffsetMesBtn_Click();
  offsets.SurtEviaOma_Click();
  EXPECT_TRUE(sends == 0 && s.tipoMontura == 0 && s.normalOaire == 0.2);
  EXPECT_TRUE(w.isEnabled(Control::parada) && timer2.active);

  timer2.active = false;
  offsets.offset_aquiLbl_Click();
  offsets.OK_manualbtn_Click();
  EXPECT_TRUE(sends == 1 && s.tipoMontura == 1 && s.normalOaire == 0.0 && timer2.active);
  EXPECT_EQ(manual(), "0,05") << "the send takes the manual value from the box";
  EXPECT_TRUE(w.isVisible(Control::offset_aquiLbl) && w.isVisible(Control::ajustar_manualmentLbl));
  for (Control c : kEditor) EXPECT_FALSE(w.isVisible(c) || w.isEnabled(c)) << objectName(c);
}

TEST_F(SizeOffsetsTest, leavingTheGeneralPanelStoresTheShownNumberOnly) {
  s.obre_offset = "si";
  offsets.activa_offset();
  for (Control c : kGeneralButtons) EXPECT_TRUE(w.isVisible(c) && w.isEnabled(c)) << objectName(c);
  for (const char* typed : {"0,1a", "0,05x", "x0,1", ""}) {
    w.setText(Control::offsetTxt, typed);
    offsets.sortir_offset_Click();
    EXPECT_TRUE(w.text(Control::Text1) == texts::kGeneralOffsetInvalid && s.OffsetMida == 0.0) << typed;
    EXPECT_TRUE(w.isVisible(Control::sortir_offset)) << "the panel stays open to correct it";
  }

  w.setText(Control::offsetTxt, "0");
  press(&SizeOffsets::mes_offset_Click, 3);
  offsets.sortir_offset_Click();
  EXPECT_TRUE(s.OffsetMida.isNumber() && s.obre_offset == "no" &&
              w.text(Control::Text1) == texts::kCorrectionSet);
  EXPECT_DOUBLE_EQ(s.OffsetMida.toNumber(), 0.03);
  for (Control c : kGeneralButtons) EXPECT_FALSE(w.isVisible(c) || w.isEnabled(c)) << objectName(c);
  EXPECT_FALSE(w.isVisible(Control::offsetTxt) || w.isVisible(Control::info_vista));

  // The counter stops at half a millimetre of offset either way, whatever the manual box holds.
  s.OffsetMida = -0.3, w.setText(Control::offset_mida, "0,1");
  offsets.activa_offset();
  EXPECT_EQ(general(), "-0,3");
  press(&SizeOffsets::menys_offset_Click, 30);
  EXPECT_EQ(general(), "-0,5");
  press(&SizeOffsets::mes_offset_Click, 120);
  EXPECT_EQ(general(), "0,5");
}

}  // namespace
}  // namespace kovrel
