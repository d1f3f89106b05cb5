// The main window on screen (the fixture for its controls and the events they raise), the true-size plot
// and the pictures the program draws for itself.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "history/historial.h"
#include "history/history_window.h"
#include "ports/instruccions_window.h"
#include "ports/port_setup.h"
#include "ports/puertos_window.h"
#include "scanner/plot.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {
namespace {

using enum Control;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::guiApplication();
    window = std::make_unique<MainWindow>();
    window->onEvent = [this](Control c, UiEvent e) { events.emplace_back(c, e); };
  }
  QWidget* w(Control c) { return window->control(c); }

  std::unique_ptr<MainWindow> window;
  std::vector<std::pair<Control, UiEvent>> events;
};

// === Assistive technology =================================================================================

QAccessibleInterface* spoken(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

// What the eye sees as a control's caption: a label's or a button's text, a frame's or a window's
// title, or else the caption label beside it.
QString visibleCaption(QWidget* widget) {
  if (widget->isWindow()) return widget->windowTitle().simplified();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().simplified();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    if (!button->text().isEmpty()) return button->text().simplified();
  }
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title().simplified();
  for (QLabel* label : widget->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    if (label->buddy() == widget) return label->text().simplified();
  }
  return {};
}

constexpr Control kTicks[] = {autochk,    CompSiNoChk,      noCapsaleraChk,
                              noMidesChk, calibraCentreChk, ActualitzaDatoChk};

// A tick is one click whoever makes it; a label is read as the text it shows now, its purpose after
// it; a caption label names the control beside it, and every name holds the caption the eye sees.
TEST_F(MainWindowTest, aTickIsOneClickByAnyMeansALabelIsReadAsItsTextAndControlsAreNamedAsShown) {
  window->show();
  for (Control c : kServicePanel) window->setVisible(c, true);
  for (Control c : kTicks) {
    auto* box = static_cast<QAbstractButton*>(w(c));
    QAccessibleActionInterface* actions = spoken(box)->actionInterface();
    ASSERT_TRUE(actions != nullptr &&
                actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    const bool before = box->isChecked();
    events.clear(), actions->doAction(QAccessibleActionInterface::toggleAction());
    QTest::mouseClick(box, Qt::LeftButton);
    box->setFocus(), QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(events, (std::vector<std::pair<Control, UiEvent>>(3, {c, UiEvent::Click}))) << objectName(c);
    EXPECT_EQ(box->isChecked(), !before) << objectName(c);

    window->setChecked(c, before);               // the program's own tick
    window->inputBlocked = [] { return true; };  // the host exchange refuses the operator
    actions->doAction(QAccessibleActionInterface::toggleAction());
    window->inputBlocked = nullptr;
    EXPECT_EQ(events.size(), 3u) << objectName(c);
    EXPECT_EQ(box->isChecked(), before) << objectName(c);
  }
  // Other windows (a message, the configuration) still take the operator's input meanwhile.
  QPushButton other;
  int clicks = 0;
  QObject::connect(&other, &QPushButton::clicked, [&clicks] { ++clicks; });
  struct Seen : QWidget {
    using QWidget::QWidget;
    bool event(QEvent* e) override { return types.push_back(e->type()), true; }
    std::vector<QEvent::Type> types;
  } seen(window.get());  // every press, move, key, wheel, touch and hover is held; a release goes by
  seen.setAttribute(Qt::WA_AcceptTouchEvents), seen.show();
  const std::unique_ptr<QPointingDevice> screen(QTest::createTouchDevice());
  auto touch = QTest::touchEvent(&seen, screen.get(), false);
  touch.press(0, {1, 1}).commit(), seen.types.clear();  // a touch begun before the exchange
  other.show(), events.clear(), window->inputBlocked = [] { return true; };
  QTest::mouseClick(&other, Qt::LeftButton), QTest::mouseClick(w(llegirBtn), Qt::LeftButton);
  static_cast<QPushButton*>(w(llegirBtn))->click();  // a press by assistive technology, unseen by the gate
  touch.move(0, {2, 2}).commit();
  QEvent enter(QEvent::Enter), hover(QEvent::HoverEnter), move(QEvent::HoverMove), key(QEvent::Shortcut);
  QWheelEvent wheel({}, {}, {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QContextMenuEvent menu(QContextMenuEvent::Keyboard, {}, {});
  QMouseEvent up(QEvent::MouseButtonRelease, {}, {}, Qt::LeftButton, Qt::NoButton, {});
  for (QEvent* e : std::initializer_list<QEvent*>{&enter, &hover, &move, &key, &wheel, &menu, &up})
    QCoreApplication::sendEvent(&seen, e);
  window->inputBlocked = nullptr;
  std::erase(seen.types, QEvent::WindowDeactivate);  // the other window came to the front
  EXPECT_TRUE(clicks == 1 && events.empty() && seen.types == std::vector{QEvent::MouseButtonRelease});
  // The encoder's dot shows whether the monitor is on: only the program sets it.
  spoken(w(PortEncEstatOpc))->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_FALSE(window->isChecked(PortEncEstatOpc));
  QTest::mouseClick(w(PortEncEstatOpc), Qt::LeftButton);
  EXPECT_FALSE(window->isChecked(PortEncEstatOpc));
  window->setChecked(PortEncEstatOpc, true);
  EXPECT_TRUE(window->isChecked(PortEncEstatOpc));
  for (auto [c, text, purpose] :
       {std::tuple{contadorLectures, "Rev.[345]", "Contador de trabajos"},
        {serieLbl, "0042", "Número de serie"},
        {port_oma_info_lbl, " COM 5", "Puerto del programa de laboratorio"},
        {veri_instrument_txt, "VERIFICANT <b>", "Aviso de verificación del instrumento"},
        {midesLbl, "A 52,34 mm  B 38,10 mm  DM 54,02 mm  Perímetro 150,12 mm", "Medidas de la forma"}}) {
    window->setText(c, text);
    EXPECT_EQ(spoken(w(c))->text(QAccessible::Name).toStdString() + "|" +
                  spoken(w(c))->text(QAccessible::Description).toStdString(),
              std::string(text) + "|" + purpose);
  }
  // The caption labels beside the boxes of the service panel name them (and are read as themselves).
  const Control captioned[] = {Label3, noCapsaleraChk,    Label4,  noMidesChk,  Label6, calibraCentreChk,
                               Label2, ActualitzaDatoChk, Label10, temp_actual, Label9, polsos_temp,
                               Label8, AD_temp,           label20, serieLbl};
  for (std::size_t i = 0; i < std::size(captioned); i += 2)
    EXPECT_EQ(static_cast<QLabel*>(w(captioned[i]))->buddy(), w(captioned[i + 1]))
        << objectName(captioned[i]);
  EXPECT_EQ(spoken(w(calibraCentreChk))->text(QAccessible::Name), "Calibra Carrera");
  std::set<QString> fixed;
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<Control>(i);
    const QString name = spoken(w(c))->text(QAccessible::Name).simplified();
    const QString caption = visibleCaption(w(c));
    EXPECT_TRUE(name.contains(caption, Qt::CaseInsensitive)) << objectName(c) << ": " << name.toStdString();
    EXPECT_FALSE(name.trimmed().isEmpty() && c != port_oma_info_lbl && c != midesLbl)  // nothing to show yet
        << objectName(c);
    EXPECT_TRUE(w(c)->accessibleName().isEmpty() || fixed.insert(w(c)->accessibleName()).second)
        << objectName(c);
  }
  EXPECT_EQ(spoken(w(parada))->text(QAccessible::Name), "STOP, parar lectura");
  EXPECT_EQ(spoken(w(Horari))->text(QAccessible::Name), "Giro horario");  // a picture on the button
}

// A message and a question are boxes in Spanish, the system's carriage returns broken into lines.
TEST_F(MainWindowTest, aMessageAndAQuestionAreSpanishBoxesWithTheSystemsLineBreaks) {
  QStringList seen;
  const auto press = [&seen](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&seen, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QStringList buttons;
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      buttons.sort(), seen << buttons.join('+') << box->text(), box->button(button)->click();
    });
  };
  press(QMessageBox::Ok), window->messageBox("uno\r\ndos\rtres", "Atención");
  press(QMessageBox::Cancel);
  EXPECT_FALSE(window->askOkCancel("¿Seguir?", "Atención"));
  press(QMessageBox::Ok);
  EXPECT_TRUE(window->askOkCancel("¿Seguir?", "Atención"));
  EXPECT_EQ(seen.join('|').toStdString(),
            "Aceptar|uno\ndos\ntres|Aceptar+Cancelar|¿Seguir?|Aceptar+Cancelar|¿Seguir?");
}

// The instructions fit a 1024 x 768 screen with each heading on one line; the calibration notice
// stands out from the window's text, and a warning in its named colour.
TEST_F(MainWindowTest, instructionsFitTheScreenWithTheirHeadingsWholeAndTheNoticeAndAWarningStandOut) {
  for (int code :
       {kNoTracerPort, kDetectionFailed, kNoFreeVirtualPort, kTracerPortAbove15, kOneOfTwoAbove15}) {
    InstruccionsWindow dialog(code);
    dialog.show();
    const QTextBlock heading = dialog.findChild<QPlainTextEdit*>()->document()->begin();
    EXPECT_TRUE(dialog.width() <= 1024 && dialog.height() <= 768 && heading.layout()->lineCount() == 1)
        << heading.text().toStdString();
  }
  const QFont notice = w(veri_instrument_txt)->font();
  EXPECT_TRUE(notice.bold() && notice.pointSizeF() > 1.5 * window->font().pointSizeF());
  for (auto [rgb, colour] : {std::pair{kRed, Qt::red}, {kBlue, Qt::blue}, {kBlack, Qt::black}}) {
    window->setForeColor(Text1, rgb);  // a warning in red, and back to black
    EXPECT_EQ(w(Text1)->palette().color(QPalette::Text), QColor(colour));
  }
}

// The host link's label: " COM 5" beside "Auto"; a network address, too wide for that, whole on
// the row under it, which it gives up to the general-offset panel while that is open.
TEST_F(MainWindowTest, aHostLinkLabelTooWideForItsSlotIsShownWholeOnTheRowUnderAuto) {
  window->show();
  auto* label = static_cast<QLabel*>(w(port_oma_info_lbl));
  window->setText(port_oma_info_lbl, " COM 5");
  const QRect slot = label->geometry();
  window->setText(port_oma_info_lbl, " TCP 192.168.100.200:50000 sin conexión");
  EXPECT_TRUE(label->y() > w(autochk)->geometry().bottom() && label->isVisible());
  EXPECT_TRUE(label->height() >= label->heightForWidth(label->width()) &&
              label->fontMetrics().horizontalAdvance("192.168.100.200:50000") <= label->width());
  window->setVisible(offsetTxt, true);
  EXPECT_FALSE(label->isVisible());
  window->setVisible(offsetTxt, false);
  window->setText(port_oma_info_lbl, " COM 12");
  EXPECT_TRUE(label->isVisible() && label->geometry() == slot && slot.top() == w(autochk)->y());
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
  // Where the points of a read land at true size is walked end to end (every dot of a read).
  const QImage empty = plot->image();
  plot->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return plot->lastPaintedRect() == plot->rect(); }));  // its first paint
  plotShapePoint(*plot, 10.0, 5.0);  // (50, 35) on the box
  EXPECT_TRUE(pixel(500, 350) == 0x0000FFu && pixel(501, 350) != 0x0000FFu);
  plot->refresh(), QApplication::processEvents();  // only the new dot is painted again
  EXPECT_TRUE(plot->lastPaintedRect().contains(500, 350) && plot->lastPaintedRect().width() < 10);
  const QImage before = plot->image();
  plotShapePoint(*plot, 45.0, 0.0);  // 85 mm from the left edge: outside an 83 mm box
  plotShapePoint(*plot, 0.0, -50.0);
  EXPECT_TRUE(plot->image() == before && plot->pendingRect().isEmpty());
  clearAndDrawAxes(*plot);
  EXPECT_EQ(pixel(100, 400), 0x000000u);  // horizontal axis, 30 mm left of the centre
  plotShapePoint(*plot, 20, 20);
  plot->clear();
  EXPECT_EQ(plot->image(), empty);  // axes and points gone, the background intact
}

// === Pictures ===========================================================================================
// What the program draws for itself, against an approved sheet: the turn arrows (each the mirror of
// the other), the mirror, the history clock, the six lens-type pictures, the history's small outline
// of a read, the ports window's plugs and the plot's axes at true size. A change meant to be seen is
// approved by running with KOVREL_APPROVE=1 (it rewrites tests/data/looks/pictures.png) and looking.

// Side by side, top-aligned, on a transparent sheet.
QImage sheetOf(const std::vector<QPixmap>& pictures) {
  int width = 0, height = 0;
  for (const QPixmap& p : pictures) width += p.width(), height = std::max(height, p.height());
  QImage sheet(width, height, QImage::Format_ARGB32);
  sheet.fill(Qt::transparent);
  QPainter painter(&sheet);
  int x = 0;
  for (const QPixmap& p : pictures) painter.drawPixmap(x, 0, p), x += p.width();
  return sheet;
}

// Pixels that differ by more than the rounding of smoothed edges (in any channel).
int differingPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      count += std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
               std::abs(qBlue(p) - qBlue(q)) > 48 || std::abs(qAlpha(p) - qAlpha(q)) > 48;
    }
  return count;
}

TEST(Looks, theWindowsOwnPicturesAreTheApprovedOnes) {
  testing::guiApplication();
  MainWindow window;
  const auto icon = [&](Control c) {
    auto* button = static_cast<QPushButton*>(window.control(c));
    return button->icon().pixmap(button->iconSize());
  };
  const auto picture = [&](Control c) { return static_cast<QLabel*>(window.control(c))->pixmap(); };
  // A read bulging up and to the right: the small outline has x to the right and y upwards, as the plot.
  ArchiveEntry read;
  for (int i = 0; i < kOutlineRadii; ++i)
    read.outline.push_back(static_cast<int>(
        800 + 400 * std::pow(std::max(0.0, std::cos(2 * std::numbers::pi * i / kOutlineRadii - 0.785)), 8)));
  HistoryWindow history;
  history.setRows(
      {[](int) { return HistoryRowTexts{}; }, [&](int) -> const ArchiveEntry& { return read; }, {}, {}});
  history.rowsChanged(1);
  const auto* list = history.findChild<QTableView*>();
  QPixmap small(48, 48);
  small.fill(Qt::transparent);
  QPainter painter(&small);
  QStyleOptionViewItem option;
  option.rect = small.rect();
  list->itemDelegateForColumn(2)->paint(&painter, option, list->model()->index(0, 2));
  painter.end();
  PlotWidget axes;  // at a fixed density: the window's own plot follows the screen's
  axes.setScale(PlotScale::fromPhysicalDpi(96, 96));
  clearAndDrawAxes(axes);
  const QImage sheet =
      sheetOf({icon(Horari), icon(antiHorari), icon(mirallHoritzontal), icon(historialBtn),
               picture(Image_clara_gran), picture(Image_clara_igual), picture(Image_clara_petita),
               icon(Image_fosca_gran), icon(Image_fosca_igual), icon(Image_fosca_petita), small,
               PuertosWindow().findChild<QLabel*>()->pixmap(), QPixmap::fromImage(axes.image())});
  const QString approved = QStringLiteral(KOVREL_TEST_DATA "/looks/pictures.png");
  ASSERT_TRUE(!qEnvironmentVariableIsSet("KOVREL_APPROVE") || sheet.save(approved));  // approving
  const QImage want = QImage(approved).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(sheet.size(), want.size()) << "drawn at another size: a screen of other dots per inch?";
  const int differing = differingPixels(sheet, want);
  const QString drawn = QDir::temp().filePath(QStringLiteral("kovrel-pictures-drawn.png"));
  if (differing > 2) sheet.save(drawn);
  EXPECT_LE(differing, 2) << "the pictures differ from the approved ones: see " << drawn.toStdString();
}

}  // namespace
}  // namespace kovrel
