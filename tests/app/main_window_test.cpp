// The main window on screen: every control under its name, the Window seam mapped onto the
// widgets, the operator's actions turned into events, and the true-size plot.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "app/system_clock.h"
#include "app/texts.h"
#include "gui_test_support.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {
namespace {

using enum Control;

std::string str(const QString& s) { return s.toStdString(); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::guiApplication();
    window = std::make_unique<MainWindow>();
    window->onEvent = [this](Control c, UiEvent e) { events.emplace_back(c, e); };
  }
  QWidget* w(Control c) { return window->control(c); }
  bool saw(Control c, UiEvent e) const {
    return std::find(events.begin(), events.end(), std::pair(c, e)) != events.end();
  }

  std::unique_ptr<MainWindow> window;
  std::vector<std::pair<Control, UiEvent>> events;
};

// === The controls as the program starts ==============================================================

TEST_F(MainWindowTest, everyControlExistsUnderItsObjectNameAndHasItsOwnSpokenName) {
  std::set<QString> spoken;
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<Control>(i);
    ASSERT_NE(w(c), nullptr) << objectName(c);
    EXPECT_EQ(str(w(c)->objectName()), objectName(c));
    EXPECT_EQ(c == Form1 ? window.get() : window->findChild<QWidget*>(w(c)->objectName()), w(c))
        << objectName(c);
    EXPECT_TRUE(spoken.insert(w(c)->accessibleName()).second) << objectName(c) << " has no name of its own";
  }
}

TEST_F(MainWindowTest, captionsAndToolTipsAreTheOperatorsTexts) {
  const struct {
    Control c;
    std::string_view text, toolTip;
  } rows[] = {{Form1, "  Kovrel   v1.4", ""},
              {Text1, "                       >>  INFO de proceso <<", "Ventana de información"},
              {llegirBtn, texts::kReadCaption, "Leer forma de lente"},
              {interpola, texts::kSendCaption, "Enviar forma escaneada"},
              {antiHorari, "", "giro antihorario"},
              {Horari, "", "giro horario"},
              {mirallHoritzontal, "", "espejo horizontal"},
              {cfg_btn, "CONFIG", ""},
              {autochk, "Auto", ""},
              {CentEncBtn, "Enco   ", ""},
              {Frame1, "Opciones Avanzadas solo para Servicio tecnico", ""},
              {contadorLectures, "Rev", ""},
              {Label4, "Mostrar X/Y", ""},
              {offset_aquiLbl, "Aquí", ""},
              {ajustar_manualmentLbl, "Para ajustar manualmente.", ""},
              {OffsetMenysBtn, "-", "Decrementar 0.05"},
              {OffsetMesBtn, "+", "incrementar 0.05"},
              {OK_manualbtn, "OK", ""},
              {SurtEviaOma, "x", ""},
              {sortir_offset, "Salir", ""},
              {Image_fosca_gran, "", "Para lentes DEMO o que se muevan ligeramente aumenta + 0,15mm"},
              {Image_fosca_igual, "", "Para lentes uso general y al AIRE mantiene  medida"},
              {Image_fosca_petita, "", "Para lentes RANURADAS disminuye -0,10mm"},
              {inicio_adminBtn, "Continuar", ""},
              {cancelar_adminBtn, "Cancelar", ""}};
  for (const auto& row : rows) {
    EXPECT_EQ(window->text(row.c), row.text) << objectName(row.c);
    EXPECT_EQ(str(w(row.c)->toolTip()), row.toolTip) << objectName(row.c);
  }
  EXPECT_EQ(window->text(veri_instrument_txt).find("VERIFICANT"), 4u);
  EXPECT_EQ(str(w(offset_mida)->toolTip()), "Variación de tamaño al enviar");
}

TEST_F(MainWindowTest, startsAsStartUpLeavesItWithNothingToEditOrSend) {
  for (Control c : {llegirBtn, sortirBtn, cfg_btn}) EXPECT_TRUE(window->isEnabled(c)) << objectName(c);
  for (Control c : {interpola, antiHorari, Horari, mirallHoritzontal, parada})
    EXPECT_FALSE(window->isEnabled(c)) << objectName(c);
  std::vector<Control> hidden(std::begin(kServicePanel), std::end(kServicePanel));
  hidden.insert(hidden.end(),
                {veri_instrument_txt, Picture3, offsetTxt, mes_offset, menys_offset, sortir_offset,
                 info_vista, inicio_adminBtn, cancelar_adminBtn, offset_mida, OK_manualbtn});
  for (Control c : hidden) EXPECT_FALSE(window->isVisible(c)) << objectName(c);
  EXPECT_TRUE(window->isVisible(offset_aquiLbl));  // the manual editor's invitation
  EXPECT_TRUE(window->isChecked(CompSiNoChk));
  EXPECT_FALSE(window->isChecked(noCapsaleraChk));
  EXPECT_EQ(static_cast<QProgressBar*>(w(ProgressBar1))->maximum(), 4097);  // the count a read ends on
  EXPECT_EQ(window->heightTwips(Form1), kFormHeightClosed);

  // Each light picture lies over its dark twin until a hover uncovers the twin.
  const QObjectList& stack = w(Picture3)->children();
  for (auto [light, dark] :
       {std::pair(Image_clara_gran, Image_fosca_gran), std::pair(Image_clara_igual, Image_fosca_igual),
        std::pair(Image_clara_petita, Image_fosca_petita)}) {
    EXPECT_GT(stack.indexOf(w(light)), stack.indexOf(w(dark))) << objectName(light);
    EXPECT_EQ(w(light)->geometry(), w(dark)->geometry()) << objectName(light);
  }
}

// === The Window seam on the widgets ================================================================

TEST_F(MainWindowTest, textsRoundTripInUtf8ThroughEveryKindOfControl) {
  const std::pair<Control, std::string_view> rows[] = {{Text1, "Forma demasiado grande o pequeña para leer"},
                                                       {contadorLectures, "Rev.[345]"},
                                                       {llegirBtn, "Leer"},
                                                       {Frame1, "Opciones"},
                                                       {Form1, "  Kovrel   v1.4 ·"},
                                                       {info_vista, "Atención !!!\nsegunda línea"}};
  for (const auto& [c, text] : rows) {
    window->setText(c, text);
    EXPECT_EQ(window->text(c), text) << objectName(c);
  }
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("  Kovrel   v1.4 ·"));
  EXPECT_EQ(static_cast<QLabel*>(w(contadorLectures))->text(), "Rev.[345]");
}

TEST_F(MainWindowTest, enabledAndVisibleAreEachControlsOwnSetting) {
  // The service panel's frame hides and disables its children on screen, but each control keeps
  // the setting the handlers gave it.
  window->setVisible(Frame1, false);
  window->setVisible(Label9, true);
  EXPECT_TRUE(window->isVisible(Label9));
  EXPECT_FALSE(window->isVisible(Frame1));
  window->setEnabled(Frame1, false);
  window->setEnabled(temp_actual, true);
  EXPECT_TRUE(window->isEnabled(temp_actual));
  window->setEnabled(temp_actual, false);
  EXPECT_FALSE(window->isEnabled(temp_actual) || w(temp_actual)->isEnabled());
}

TEST_F(MainWindowTest, coloursReachTheWidgetsAndOnlyTickBoxesAreTicked) {
  EXPECT_FALSE(window->isChecked(Text1));
  window->setForeColor(offset_mida, kRed);
  EXPECT_EQ(window->foreColor(offset_mida), kRed);
  EXPECT_EQ(w(offset_mida)->palette().color(QPalette::Text), QColor(255, 0, 0));
  window->setForeColor(offset_mida, kBlack);
  EXPECT_EQ(w(offset_mida)->palette().color(QPalette::Text), QColor(0, 0, 0));
}

// === The operator's actions ===========================================================================

TEST_F(MainWindowTest, lensPanelSlidesUpWithItsBottomEdgeFixedAndReportsClicksAndMoves) {
  window->show();
  QWidget* panel = w(Picture3);
  window->setVisible(Picture3, true);
  const int bottom = panel->geometry().bottom();
  int h = window->heightTwips(Picture3);
  int top = window->topTwips(Picture3);
  while (h < 1215) {  // what the opening animation does, one tick at a time
    window->setHeightTwips(Picture3, h += 40);
    window->setTopTwips(Picture3, top -= 40);
    EXPECT_NEAR(panel->geometry().bottom(), bottom, 1);
    EXPECT_EQ(panel->height(), window->toPixels(h));
  }
  for (QWidget* child : panel->findChildren<QWidget*>())  // open, its controls all fit inside
    EXPECT_TRUE(panel->rect().contains(child->geometry())) << str(child->objectName());

  QTest::mouseClick(w(offset_aquiLbl), Qt::LeftButton);
  EXPECT_TRUE(saw(offset_aquiLbl, UiEvent::Click));
  // Moving over a picture is not moving over the panel's background.
  events.clear();
  QTest::mouseMove(w(Image_clara_gran), QPoint(10, 10));
  QApplication::processEvents();
  EXPECT_FALSE(saw(Picture3, UiEvent::MouseMove));
  QTest::mouseMove(panel, QPoint(panel->width() - 5, panel->height() - 5));
  QApplication::processEvents();
  EXPECT_TRUE(saw(Picture3, UiEvent::MouseMove));
}

TEST_F(MainWindowTest, manualOffsetChangesAreReportedWhetherTypedOrSet) {
  window->setText(offset_mida, "0,05");
  EXPECT_TRUE(saw(offset_mida, UiEvent::Change));
  events.clear();
  window->setVisible(offset_mida, true);
  window->setEnabled(offset_mida, true);
  QTest::keyClick(w(offset_mida), Qt::Key_7);
  EXPECT_TRUE(saw(offset_mida, UiEvent::Change));
}

TEST_F(MainWindowTest, whileTheHostExchangeRunsInputIsSwallowedButATurnButtonStillComesUp) {
  window->show();
  bool sending = false;
  window->inputBlocked = [&] { return sending; };
  window->setEnabled(Horari, true);
  window->setEnabled(antiHorari, true);
  window->setText(Text1, "");
  QTest::mousePress(w(antiHorari), Qt::LeftButton);  // held as the exchange starts
  sending = true;
  QTest::mouseRelease(w(antiHorari), Qt::LeftButton);
  EXPECT_TRUE(saw(antiHorari, UiEvent::Release));  // else the turn would repeat for ever

  events.clear();
  QTest::mouseClick(w(llegirBtn), Qt::LeftButton);
  QTest::mouseDClick(w(Text1), Qt::LeftButton);
  QTest::keyClicks(w(Text1), "nwx");
  QTest::mousePress(w(Horari), Qt::LeftButton);
  window->close();
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(window->isHidden());
  EXPECT_EQ(window->text(Text1), "");  // nothing typed got in
  EXPECT_FALSE(static_cast<QPushButton*>(w(Horari))->isDown());

  // What the handlers change still reaches the screen.
  PlotWidget& plot = window->plot();
  QApplication::processEvents();
  plot.point(40, 40, 1);
  plot.refresh();
  QApplication::processEvents();
  EXPECT_EQ(plot.lastPaintedRect().size(), QSize(1, 1));

  sending = false;
  QTest::mouseClick(w(llegirBtn), Qt::LeftButton);
  EXPECT_TRUE(saw(llegirBtn, UiEvent::Click));
}

// === The plot ===========================================================================================

TEST(PlotScale, millimetresAndTwipsLandOnTheirPixels) {
  const PlotScale s = PlotScale::fromPhysicalDpi(254, 254);  // 10 px per mm
  EXPECT_DOUBLE_EQ(PlotScale::fromPhysicalDpi(96, 120).pxPerMmY, 120 / 25.4);
  EXPECT_EQ(twipsToPixels(15, 96), 1);
  EXPECT_EQ(twipsToPixels(kFormHeightOpen, 120), 676);
  // A dot covers the pixel of its position and its width.
  const struct {
    double x, y;
    int width;
    PixelRect expected;
  } rows[] = {
      {40.0, 40.0, 1, {400, 400, 1, 1}},    // the turntable centre
      {40.05, 39.95, 1, {400, 399, 1, 1}},  // inside the pixel's square, not rounded away
      {40.0, 40.0, 3, {399, 399, 3, 3}},    // centred
      {40.0, 40.0, 2, {400, 400, 2, 2}},
      {0.0, 0.0, 0, {0, 0, 1, 1}},      // a width below one still shows a pixel
      {-0.01, 2.0, 1, {-1, 20, 1, 1}},  // left of the box
  };
  for (const auto& r : rows) EXPECT_EQ(dotPixels(s, r.x, r.y, r.width), r.expected) << r.x << "," << r.y;
}

class PlotWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::guiApplication();
    plot = std::make_unique<PlotWidget>();
    plot->setScale(PlotScale::fromPhysicalDpi(254, 254));  // 10 pixels per mm
  }
  QRgb pixel(int x, int y) const { return plot->image().pixel(x, y) & 0xFFFFFF; }
  std::unique_ptr<PlotWidget> plot;
};

TEST_F(PlotWidgetTest, aPointIsOnePureBluePixelAxesAreBlackAndBeyondTheTrueSizeBoxNothingIsSeen) {
  // 4695 x 4935 twips = 82.81 x 87.048 mm
  EXPECT_TRUE(plot->size() == QSize(828, 870) && plot->image().size() == plot->size());
  const QImage empty = plot->image();
  plotShapePoint(*plot, 10.0, 5.0);  // (50, 35) on the box
  EXPECT_EQ(pixel(500, 350), 0x0000FFu);
  for (auto [x, y] : {std::pair(501, 350), std::pair(500, 351), std::pair(499, 349)})
    EXPECT_NE(pixel(x, y), 0x0000FFu) << x << "," << y;

  plot->refresh();
  const QImage before = plot->image();
  plotShapePoint(*plot, 45.0, 0.0);  // 85 mm from the left edge: outside an 83 mm box
  plotShapePoint(*plot, 0.0, -50.0);
  EXPECT_EQ(plot->image(), before);
  EXPECT_TRUE(plot->pendingRect().isEmpty());

  clearAndDrawAxes(*plot);
  EXPECT_EQ(pixel(400, 400), 0x000000u);  // both axes cross the centre
  EXPECT_EQ(pixel(100, 400), 0x000000u);  // horizontal axis, 30 mm left
  EXPECT_EQ(pixel(400, 700), 0x000000u);  // vertical axis, 30 mm down
  EXPECT_NE(pixel(100, 100), 0x000000u);
  plotShapePoint(*plot, 20, 20);
  plot->clear();
  EXPECT_EQ(plot->image(), empty);  // axes and points gone, the background intact
}

TEST_F(PlotWidgetTest, aPointRepaintsOnlyItselfAndDrawingNobodyRefreshesStillReachesTheScreen) {
  clearAndDrawAxes(*plot);
  plot->show();
  plot->refresh();
  QApplication::processEvents();
  plotShapePoint(*plot, 10, 10);
  plotShapePoint(*plot, 11, 10);
  plot->refresh();
  QApplication::processEvents();
  plotShapePoint(*plot, 12, 10);
  EXPECT_EQ(plot->pendingRect(), QRect(520, 300, 1, 1));
  plot->refresh();
  QApplication::processEvents();
  EXPECT_EQ(plot->lastPaintedRect(), QRect(520, 300, 1, 1));
  EXPECT_EQ(pixel(500, 300), 0x0000FFu);  // the earlier points are still drawn
  EXPECT_EQ(pixel(510, 300), 0x0000FFu);

  plotShapePoint(*plot, 1, 1);
  plot->repaintNow();  // no event loop turn
  EXPECT_EQ(plot->lastPaintedRect(), QRect(410, 390, 1, 1));

  plotShapePoint(*plot, -5, 0);
  QApplication::processEvents();  // the queued hand-over asks for the paint
  QApplication::processEvents();  // and the paint comes
  EXPECT_EQ(plot->lastPaintedRect(), QRect(350, 400, 1, 1));
  EXPECT_TRUE(plot->pendingRect().isEmpty());
}

// === The clock =========================================================================================

TEST(SystemClock, secondsFieldOfTheWallClock) {
  using namespace std::chrono;
  const system_clock::time_point epoch{};
  EXPECT_EQ(secondOfMinute(epoch + minutes(3) + seconds(4) + milliseconds(999)), 4);
  EXPECT_EQ(secondOfMinute(epoch - seconds(1)), 59);  // before 1970
  const int now = SystemClock().currentSecond();
  EXPECT_TRUE(now >= 0 && now <= 59) << now;
}

}  // namespace
}  // namespace kovrel
