#pragma once
// Records what is drawn on the plot since the last clear.

#include <vector>

#include "scanner/plot.h"

namespace kovrel::testing {

class FakePlot : public Plot {
 public:
  struct Line {
    double x1, y1, x2, y2;
  };
  struct Dot {
    double x, y;
    int width;
  };
  void clear() override { lines.clear(), dots.clear(), ++clears; }
  void line(double x1, double y1, double x2, double y2) override { lines.push_back({x1, y1, x2, y2}); }
  void point(double x, double y, int width) override { dots.push_back({x, y, width}); }
  void refresh() override { ++refreshes; }

  std::vector<Line> lines;
  std::vector<Dot> dots;
  int clears = 0, refreshes = 0;
};

}  // namespace kovrel::testing
