// The main window on screen: every control under its name, the Window seam mapped onto the
// widgets, the operator's actions turned into events, and the true-size plot.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <string>
#include <vector>

#include "app/system_clock.h"
#include "app/texts.h"
#include "gui_test_support.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {
namespace {

using testing::guiApplication;

std::string str(const QString& s) { return s.toStdString(); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApplication();
    window = std::make_unique<MainWindow>();
    window->onEvent = [this](Control c, UiEvent e) { events.emplace_back(c, e); };
  }
  QWidget* w(Control c) { return window->control(c); }
  bool saw(Control c, UiEvent e) const {
    for (const auto& [control, event] : events) {
      if (control == c && event == e) return true;
    }
    return false;
  }

  std::unique_ptr<MainWindow> window;
  std::vector<std::pair<Control, UiEvent>> events;
};

// === The controls as the program starts ==============================================================

TEST_F(MainWindowTest, everyControlExistsUnderItsObjectName) {
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<Control>(i);
    const QString name =
        QString::fromUtf8(objectName(c).data(), static_cast<qsizetype>(objectName(c).size()));
    ASSERT_NE(w(c), nullptr) << objectName(c);
    EXPECT_EQ(w(c)->objectName(), name);
    if (c != Control::Form1) {
      EXPECT_EQ(window->findChild<QWidget*>(name), w(c)) << objectName(c);
    }
  }
}

TEST_F(MainWindowTest, captionsAndToolTipsAreTheOperatorsTexts) {
  struct Row {
    Control c;
    std::string_view text;
    std::string_view toolTip;
  };
  const Row rows[] = {
      {Control::Form1, "  Kovrel   v1.4", ""},
      {Control::Text1, "                       >>  INFO de proceso <<", "Ventana de información"},
      {Control::llegirBtn, texts::kReadCaption, "Leer forma de lente"},
      {Control::interpola, texts::kSendCaption, "Enviar forma escaneada"},
      {Control::antiHorari, "", "giro antihorario"},
      {Control::Horari, "", "giro horario"},
      {Control::mirallHoritzontal, "", "espejo horizontal"},
      {Control::cfg_btn, "CONFIG", ""},
      {Control::autochk, "Auto", ""},
      {Control::Frame1, "Opciones Avanzadas solo para Servicio tecnico", ""},
      {Control::CentEncBtn, "Enco   ", ""},
      {Control::contadorLectures, "Rev", ""},
      {Control::Label4, "Mostrar X/Y", ""},
      {Control::offset_aquiLbl, "Aquí", ""},
      {Control::ajustar_manualmentLbl, "Para ajustar manualmente.", ""},
      {Control::OffsetMenysBtn, "-", "Decrementar 0.05"},
      {Control::OffsetMesBtn, "+", "incrementar 0.05"},
      {Control::OK_manualbtn, "OK", ""},
      {Control::SurtEviaOma, "x", ""},
      {Control::sortir_offset, "Salir", ""},
      {Control::Image_fosca_gran, "", "Para lentes DEMO o que se muevan ligeramente aumenta + 0,15mm"},
      {Control::Image_fosca_igual, "", "Para lentes uso general y al AIRE mantiene  medida"},
      {Control::Image_fosca_petita, "", "Para lentes RANURADAS disminuye -0,10mm"},
      {Control::inicio_adminBtn, "Continuar", ""},
      {Control::cancelar_adminBtn, "Cancelar", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(window->text(row.c), row.text) << objectName(row.c);
    EXPECT_EQ(str(w(row.c)->toolTip()), row.toolTip) << objectName(row.c);
  }
  EXPECT_EQ(window->text(Control::veri_instrument_txt).find("VERIFICANT"), 4u);
  EXPECT_EQ(str(w(Control::offset_mida)->toolTip()), "Variación de tamaño al enviar");
}

TEST_F(MainWindowTest, startsAsStartUpLeavesItWithNothingToEditOrSend) {
  for (Control c : {Control::llegirBtn, Control::sortirBtn, Control::cfg_btn})
    EXPECT_TRUE(window->isEnabled(c));
  for (Control c : {Control::interpola, Control::antiHorari, Control::Horari, Control::mirallHoritzontal,
                    Control::parada})
    EXPECT_FALSE(window->isEnabled(c)) << objectName(c);
  for (Control c : kServicePanel) EXPECT_FALSE(window->isVisible(c)) << objectName(c);
  for (Control c :
       {Control::veri_instrument_txt, Control::Picture3, Control::offsetTxt, Control::mes_offset,
        Control::menys_offset, Control::sortir_offset, Control::info_vista, Control::inicio_adminBtn,
        Control::cancelar_adminBtn, Control::offset_mida, Control::OK_manualbtn})
    EXPECT_FALSE(window->isVisible(c)) << objectName(c);
  // The manual offset editor is closed: its invitation shows.
  EXPECT_TRUE(window->isVisible(Control::offset_aquiLbl));
  EXPECT_TRUE(window->isChecked(Control::CompSiNoChk));
  EXPECT_FALSE(window->isChecked(Control::noCapsaleraChk));
  auto* bar = static_cast<QProgressBar*>(w(Control::ProgressBar1));
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 4097);
  EXPECT_EQ(window->value(Control::ProgressBar1), 0);
  EXPECT_EQ(window->heightTwips(Control::Form1), kFormHeightClosed);
  EXPECT_FALSE(window->passwordMode(Control::Text1));
}

TEST_F(MainWindowTest, lightPicturesCoverTheirDarkTwinsAtStart) {
  const QObjectList& stack = w(Control::Picture3)->children();
  auto above = [&](Control top, Control under) { return stack.indexOf(w(top)) > stack.indexOf(w(under)); };
  EXPECT_TRUE(above(Control::Image_clara_gran, Control::Image_fosca_gran));
  EXPECT_TRUE(above(Control::Image_clara_igual, Control::Image_fosca_igual));
  EXPECT_TRUE(above(Control::Image_clara_petita, Control::Image_fosca_petita));
  EXPECT_EQ(w(Control::Image_clara_gran)->geometry(), w(Control::Image_fosca_gran)->geometry());
}

// === The Window seam on the widgets ================================================================

TEST_F(MainWindowTest, textsRoundTripInUtf8ThroughEveryKindOfControl) {
  const std::pair<Control, std::string_view> rows[] = {
      {Control::Text1, "Forma demasiado grande o pequeña para leer"},
      {Control::contadorLectures, "Rev.[345]"},
      {Control::llegirBtn, "Leer"},
      {Control::Frame1, "Opciones"},
      {Control::Form1, "  Kovrel   v1.4 ·"},
      {Control::info_vista, "Atención !!!\nsegunda línea"},
      {Control::offsetTxt, "0,25"},
  };
  for (const auto& [c, text] : rows) {
    window->setText(c, text);
    EXPECT_EQ(window->text(c), text) << objectName(c);
  }
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("  Kovrel   v1.4 ·"));
  EXPECT_EQ(static_cast<QLabel*>(w(Control::contadorLectures))->text(), "Rev.[345]");
}

TEST_F(MainWindowTest, enabledAndVisibleAreEachControlsOwnSetting) {
  // The service panel's frame hides and disables its children on screen, but each control keeps
  // the setting the handlers gave it.
  window->setVisible(Control::Frame1, false);
  window->setVisible(Control::Label9, true);
  EXPECT_TRUE(window->isVisible(Control::Label9));
  EXPECT_FALSE(window->isVisible(Control::Frame1));
  window->setEnabled(Control::Frame1, false);
  window->setEnabled(Control::temp_actual, true);
  EXPECT_TRUE(window->isEnabled(Control::temp_actual));
  window->setEnabled(Control::temp_actual, false);
  EXPECT_FALSE(window->isEnabled(Control::temp_actual));
  EXPECT_FALSE(w(Control::temp_actual)->isEnabled());

  // The window itself: hidden until shown.
  EXPECT_FALSE(window->isVisible(Control::Form1));
  window->setVisible(Control::Form1, true);
  EXPECT_TRUE(window->isVisible(Control::Form1));
  EXPECT_TRUE(window->QWidget::isVisible());
  window->setVisible(Control::Form1, false);
  EXPECT_TRUE(window->isHidden());
}

TEST_F(MainWindowTest, codeEntryShowsAStarForEveryTypedCharacter) {
  auto* box = static_cast<QLineEdit*>(w(Control::Text1));
  window->setText(Control::Text1, "");
  window->setPasswordMode(Control::Text1, true);
  EXPECT_TRUE(window->passwordMode(Control::Text1));
  box->ensurePolished();
  QTest::keyClicks(box, "R3M58T21");
  EXPECT_EQ(box->displayText(), "********");
  EXPECT_EQ(window->text(Control::Text1), "R3M58T21");  // the handlers read the real text
  window->setPasswordMode(Control::Text1, false);
  EXPECT_EQ(box->displayText(), "R3M58T21");
}

TEST_F(MainWindowTest, checksColoursAndProgressReachTheWidgets) {
  window->setChecked(Control::noMidesChk, true);
  EXPECT_TRUE(static_cast<QCheckBox*>(w(Control::noMidesChk))->isChecked());
  EXPECT_TRUE(window->isChecked(Control::noMidesChk));
  EXPECT_FALSE(window->isChecked(Control::Text1));  // not a tick box: never ticked

  window->setForeColor(Control::offset_mida, kRed);
  EXPECT_EQ(window->foreColor(Control::offset_mida), kRed);
  EXPECT_EQ(w(Control::offset_mida)->palette().color(QPalette::Text), QColor(255, 0, 0));
  window->setForeColor(Control::offset_mida, kBlack);
  EXPECT_EQ(w(Control::offset_mida)->palette().color(QPalette::Text), QColor(0, 0, 0));

  window->setValue(Control::ProgressBar1, 2048);
  EXPECT_EQ(static_cast<QProgressBar*>(w(Control::ProgressBar1))->value(), 2048);
  EXPECT_EQ(window->value(Control::ProgressBar1), 2048);
}

TEST_F(MainWindowTest, windowHeightIsKeptInTwipsAndLaidOutAtTheLogicalDpi) {
  const int closedPixels = window->height();
  window->setHeightTwips(Control::Form1, kFormHeightOpen);
  EXPECT_EQ(window->heightTwips(Control::Form1), kFormHeightOpen);
  // Exactly the twips asked for come back: the service panel toggle compares with 6270.
  EXPECT_EQ(window->height() - closedPixels, twipsToPixels(kFormHeightOpen, window->logicalDpiY()) -
                                                 twipsToPixels(kFormHeightClosed, window->logicalDpiY()));
  window->setHeightTwips(Control::Form1, kFormHeightClosed);
  EXPECT_EQ(window->height(), closedPixels);
}

TEST_F(MainWindowTest, lensPanelSlidesUpWithItsBottomEdgeFixed) {
  QWidget* panel = w(Control::Picture3);
  const int bottom = panel->geometry().bottom();
  int h = window->heightTwips(Control::Picture3);
  int top = window->topTwips(Control::Picture3);
  while (h < 1215) {  // what the opening animation does, one tick at a time
    h += 40;
    top -= 40;
    window->setHeightTwips(Control::Picture3, h);
    window->setTopTwips(Control::Picture3, top);
    EXPECT_EQ(window->heightTwips(Control::Picture3), h);
    EXPECT_EQ(window->topTwips(Control::Picture3), top);
    EXPECT_NEAR(panel->geometry().bottom(), bottom, 1);
    EXPECT_EQ(panel->height(), window->toPixels(h));
  }
  // Open, the panel's controls all fit inside it.
  for (QWidget* child : panel->findChildren<QWidget*>()) {
    EXPECT_TRUE(panel->rect().contains(child->geometry())) << str(child->objectName());
  }
}

// === The operator's actions ===========================================================================

TEST_F(MainWindowTest, clicksPressesAndDoubleClicksBecomeEvents) {
  window->show();
  window->setEnabled(Control::Horari, true);
  QTest::mouseClick(w(Control::llegirBtn), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::llegirBtn, UiEvent::Click));

  QTest::mousePress(w(Control::Horari), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::Horari, UiEvent::Press));
  EXPECT_FALSE(saw(Control::Horari, UiEvent::Release));
  QTest::mouseRelease(w(Control::Horari), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::Horari, UiEvent::Release));

  QTest::mouseDClick(w(Control::Text1), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::Text1, UiEvent::DoubleClick));

  QTest::mouseClick(w(Control::autochk), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::autochk, UiEvent::Click));
  EXPECT_TRUE(window->isChecked(Control::autochk));

  // A disabled button says nothing.
  events.clear();
  QTest::mouseClick(w(Control::interpola), Qt::LeftButton);
  EXPECT_TRUE(events.empty());
}

TEST_F(MainWindowTest, lensPanelPicturesAndLabelsReportClicksAndHovers) {
  window->show();
  window->setVisible(Control::Picture3, true);
  window->setHeightTwips(Control::Picture3, 1215);
  window->setTopTwips(Control::Picture3, window->topTwips(Control::Picture3) - 1200);

  QTest::mouseClick(w(Control::offset_aquiLbl), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::offset_aquiLbl, UiEvent::Click));
  QTest::mouseClick(w(Control::Image_fosca_petita), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::Image_fosca_petita, UiEvent::Click));

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(w(Control::Image_clara_igual), &enter);
  EXPECT_TRUE(saw(Control::Image_clara_igual, UiEvent::Hover));

  // Moving over a picture is not moving over the panel's background.
  events.clear();
  QTest::mouseMove(w(Control::Image_clara_gran), QPoint(10, 10));
  QApplication::processEvents();
  EXPECT_FALSE(saw(Control::Picture3, UiEvent::MouseMove));
  const QPoint background(w(Control::Picture3)->width() - 5, w(Control::Picture3)->height() - 5);
  QTest::mouseMove(w(Control::Picture3), background);
  QApplication::processEvents();
  EXPECT_TRUE(saw(Control::Picture3, UiEvent::MouseMove));
}

TEST_F(MainWindowTest, manualOffsetChangesAreReportedWhetherTypedOrSet) {
  window->setText(Control::offset_mida, "0,05");
  EXPECT_TRUE(saw(Control::offset_mida, UiEvent::Change));
  events.clear();
  window->setVisible(Control::offset_mida, true);
  window->setEnabled(Control::offset_mida, true);
  QTest::keyClick(w(Control::offset_mida), Qt::Key_7);
  EXPECT_TRUE(saw(Control::offset_mida, UiEvent::Change));
}

TEST_F(MainWindowTest, whileTheHostExchangeRunsOperatorInputIsSwallowed) {
  window->show();
  bool sending = true;
  window->inputBlocked = [&] { return sending; };
  window->setEnabled(Control::Horari, true);

  window->setText(Control::Text1, "");
  QTest::mouseClick(w(Control::llegirBtn), Qt::LeftButton);
  QTest::mouseDClick(w(Control::Text1), Qt::LeftButton);
  QTest::keyClicks(w(Control::Text1), "nwx");
  QTest::mousePress(w(Control::Horari), Qt::LeftButton);
  window->close();
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(window->isHidden());
  EXPECT_EQ(window->text(Control::Text1), "");  // nothing typed got in
  EXPECT_FALSE(static_cast<QPushButton*>(w(Control::Horari))->isDown());

  // What the handlers change still reaches the screen.
  PlotWidget& plot = window->plot();
  QApplication::processEvents();
  plot.point(40, 40, 1);
  plot.refresh();
  QApplication::processEvents();
  EXPECT_EQ(plot.lastPaintedRect().size(), QSize(1, 1));

  sending = false;
  QTest::mouseClick(w(Control::llegirBtn), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::llegirBtn, UiEvent::Click));
}

TEST_F(MainWindowTest, aTurnButtonComingUpIsReportedEvenDuringTheExchange) {
  window->show();
  window->setEnabled(Control::antiHorari, true);
  bool sending = false;
  window->inputBlocked = [&] { return sending; };
  QTest::mousePress(w(Control::antiHorari), Qt::LeftButton);
  sending = true;
  QTest::mouseRelease(w(Control::antiHorari), Qt::LeftButton);
  EXPECT_TRUE(saw(Control::antiHorari, UiEvent::Release));  // else the turn would repeat for ever
}

TEST_F(MainWindowTest, closingFromTheFrameIsLeftToTheProgram) {
  window->show();
  window->close();
  EXPECT_TRUE(saw(Control::Form1, UiEvent::Close));
  EXPECT_FALSE(window->isHidden());
}

// === The plot ===========================================================================================

TEST(PlotScale, millimetresAndTwipsToPixels) {
  const PlotScale at254 = PlotScale::fromPhysicalDpi(254, 254);  // 10 px per mm
  EXPECT_DOUBLE_EQ(at254.pxPerMmX, 10.0);
  EXPECT_DOUBLE_EQ(PlotScale::fromPhysicalDpi(96, 120).pxPerMmY, 120 / 25.4);
  EXPECT_EQ(at254.plotWidthPixels(), 828);   // 4695 twips = 82.81 mm
  EXPECT_EQ(at254.plotHeightPixels(), 870);  // 4935 twips = 87.048 mm
  EXPECT_EQ(twipsToPixels(1440, 96), 96);
  EXPECT_EQ(twipsToPixels(15, 96), 1);
  EXPECT_EQ(twipsToPixels(kFormHeightClosed, 96), 418);
  EXPECT_EQ(twipsToPixels(kFormHeightOpen, 120), 676);
  EXPECT_EQ(pixelsToTwips(418, 96), kFormHeightClosed);
  EXPECT_NEAR(twipsToMm(kPlotWidthTwips), 82.8, 0.05);
}

TEST(PlotScale, aDotCoversThePixelOfItsPositionAndItsWidth) {
  const PlotScale s = PlotScale::fromPhysicalDpi(254, 254);
  struct Row {
    double x, y;
    int width;
    PixelRect expected;
  };
  const Row rows[] = {
      {40.0, 40.0, 1, {400, 400, 1, 1}},    // the turntable centre
      {40.05, 39.95, 1, {400, 399, 1, 1}},  // inside the pixel's square, not rounded away
      {40.0, 40.0, 3, {399, 399, 3, 3}},    // centred
      {40.0, 40.0, 2, {400, 400, 2, 2}},
      {0.0, 0.0, 0, {0, 0, 1, 1}},      // a width below one still shows a pixel
      {-0.01, 2.0, 1, {-1, 20, 1, 1}},  // left of the box
  };
  for (const Row& r : rows) EXPECT_EQ(dotPixels(s, r.x, r.y, r.width), r.expected) << r.x << "," << r.y;
}

class PlotWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApplication();
    owned = std::make_unique<PlotWidget>();
    owned->setScale(PlotScale::fromPhysicalDpi(254, 254));  // 10 pixels per mm
  }
  QRgb pixel(int x, int y) const { return plot().image().pixel(x, y) & 0xFFFFFF; }
  PlotWidget& plot() const { return *owned; }
  std::unique_ptr<PlotWidget> owned;
};

TEST_F(PlotWidgetTest, theBoxIsTheTrueSizeOfPicture1) {
  EXPECT_EQ(plot().size(), QSize(828, 870));
  EXPECT_EQ(plot().image().size(), QSize(828, 870));
}

TEST_F(PlotWidgetTest, aPointIsOnePureBluePixelAtItsPosition) {
  plotShapePoint(plot(), 10.0, 5.0);  // (50, 35) on the box
  EXPECT_EQ(pixel(500, 350), 0x0000FFu);
  EXPECT_NE(pixel(501, 350), 0x0000FFu);
  EXPECT_NE(pixel(500, 351), 0x0000FFu);
  EXPECT_NE(pixel(499, 349), 0x0000FFu);
}

TEST_F(PlotWidgetTest, axesAreBlackAndAClearLeavesOnlyTheBackground) {
  const QImage empty = plot().image();
  clearAndDrawAxes(plot());
  EXPECT_EQ(pixel(400, 400), 0x000000u);  // both axes cross the centre
  EXPECT_EQ(pixel(100, 400), 0x000000u);  // horizontal axis, 30 mm left
  EXPECT_EQ(pixel(400, 700), 0x000000u);  // vertical axis, 30 mm down
  EXPECT_NE(pixel(100, 100), 0x000000u);
  plotShapePoint(plot(), 20, 20);
  plot().clear();
  EXPECT_EQ(plot().image(), empty);  // axes and points gone, the background intact
}

TEST_F(PlotWidgetTest, aPointBeyondTheBoxIsSimplyNotSeen) {
  plot().refresh();
  const QImage before = plot().image();
  plotShapePoint(plot(), 45.0, 0.0);  // 85 mm from the left edge: outside an 83 mm box
  plotShapePoint(plot(), 0.0, -50.0);
  EXPECT_EQ(plot().image(), before);
  EXPECT_TRUE(plot().pendingRect().isEmpty());
}

TEST_F(PlotWidgetTest, addingAPointRepaintsOnlyThatPoint) {
  plot().show();
  clearAndDrawAxes(plot());
  plot().refresh();
  QApplication::processEvents();
  EXPECT_EQ(plot().lastPaintedRect(), plot().rect());

  plotShapePoint(plot(), 10, 10);
  plotShapePoint(plot(), 11, 10);
  plot().refresh();
  QApplication::processEvents();
  plotShapePoint(plot(), 12, 10);
  EXPECT_EQ(plot().pendingRect(), QRect(520, 300, 1, 1));
  plot().refresh();
  QApplication::processEvents();
  EXPECT_EQ(plot().lastPaintedRect(), QRect(520, 300, 1, 1));
  // The earlier points are still drawn.
  EXPECT_EQ(pixel(500, 300), 0x0000FFu);
  EXPECT_EQ(pixel(510, 300), 0x0000FFu);
}

TEST_F(PlotWidgetTest, drawingNobodyRefreshesStillReachesTheScreen) {
  plot().show();
  plot().refresh();
  QApplication::processEvents();
  plotShapePoint(plot(), -5, 0);
  QApplication::processEvents();  // the queued hand-over asks for the paint
  QApplication::processEvents();  // and the paint comes
  EXPECT_EQ(plot().lastPaintedRect(), QRect(350, 400, 1, 1));
  EXPECT_TRUE(plot().pendingRect().isEmpty());
}

TEST_F(PlotWidgetTest, repaintNowPaintsInsideTheHandler) {
  plot().show();
  plot().refresh();
  QApplication::processEvents();
  plotShapePoint(plot(), 1, 1);
  plot().repaintNow();  // no event loop turn
  EXPECT_EQ(plot().lastPaintedRect(), QRect(410, 390, 1, 1));
}

// === The clock =========================================================================================

TEST(SystemClock, secondsFieldOfTheWallClock) {
  using namespace std::chrono;
  const system_clock::time_point epoch{};
  EXPECT_EQ(secondOfMinute(epoch), 0);
  EXPECT_EQ(secondOfMinute(epoch + seconds(59)), 59);
  EXPECT_EQ(secondOfMinute(epoch + minutes(3) + seconds(4) + milliseconds(999)), 4);
  EXPECT_EQ(secondOfMinute(epoch - seconds(1)), 59);  // before 1970
  const int now = SystemClock().currentSecond();
  EXPECT_GE(now, 0);
  EXPECT_LE(now, 59);
}

}  // namespace
}  // namespace kovrel
