#pragma once
// The shape plot `Picture1` as the drawing code sees it: coordinates in millimetres from the
// top-left corner of the box, x to the right and y downwards; the turntable centre at (40, 40).
// A shape point (x, y) about the centre, y upwards, is drawn at (40 + x, 40 - y).

namespace kovrel {

class Plot {
 public:
  virtual ~Plot() = default;
  // Removes every axis, tick and point; the background stays.
  virtual void clear() = 0;
  // A black line, width 1, between two plot positions (mm).
  virtual void line(double x1, double y1, double x2, double y2) = 0;
  // One blue dot of the given width at a plot position (mm). Earlier dots stay as drawn.
  virtual void point(double x, double y, int width) = 0;
  // Brings the screen up to date with what has been drawn.
  virtual void refresh() = 0;
};

inline constexpr double kPlotCentre = 40.0;  // mm from the box's left and top edges

// Draws the empty axes and millimetre ticks (clears nothing by itself).
void dibuixa_eixos_coordenades(Plot& plot);

// Clears the plot and draws the empty axes, as every caller does before drawing a shape.
void clearAndDrawAxes(Plot& plot);

// Plots one shape point (x, y), mm about the turntable centre with y upwards, width 1.
inline void plotShapePoint(Plot& plot, double x, double y) {
  plot.point(kPlotCentre + x, kPlotCentre - y, 1);
}

}  // namespace kovrel
