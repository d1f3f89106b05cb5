// The pictures the program draws for itself, against an approved sheet of them: the turn arrows
// (each the mirror of the other), the mirror, the history clock, the six lens-type pictures and
// the history's small outline of a read, the ports window's plugs and the plot's axes at true size.
// A change meant to be seen is approved by running this test with KOVREL_APPROVE=1, which rewrites
// tests/data/looks/pictures.png, and by looking at that file before committing it.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <cmath>
#include <numbers>

#include "app/main_window.h"
#include "gui_test_support.h"
#include "history/historial.h"
#include "history/history_window.h"
#include "ports/puertos_window.h"
#include "scanner/plot.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {
namespace {

using enum Control;

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
