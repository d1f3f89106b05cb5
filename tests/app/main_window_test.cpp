// The main window on screen (the fixture for its controls and the events they raise) and the true-size plot.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "gui_test_support.h"
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
  bool saw(Control c, UiEvent e) const {
    return std::find(events.begin(), events.end(), std::pair(c, e)) != events.end();
  }

  std::unique_ptr<MainWindow> window;
  std::vector<std::pair<Control, UiEvent>> events;
};

// Screen readers and test tools find a control by its spoken name: each has one of its own.
TEST_F(MainWindowTest, everyControlHasASpokenNameOfItsOwn) {
  std::set<QString> spoken;
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<Control>(i);
    EXPECT_FALSE(w(c)->accessibleName().isEmpty()) << objectName(c);
    EXPECT_TRUE(spoken.insert(w(c)->accessibleName()).second) << objectName(c);
  }
}

// === The plot ===========================================================================================

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
  plotShapePoint(*plot, 10.0, 5.0);  // (50, 35) on the box
  EXPECT_TRUE(pixel(500, 350) == 0x0000FFu && pixel(501, 350) != 0x0000FFu);
  plot->refresh();
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

}  // namespace
}  // namespace kovrel
