#pragma once
// Where the plot's millimetres land on screen. The plot shows the shape at its true size, so a
// millimetre of the plot is physical-dpi / 25.4 screen pixels; the window around it is laid out
// in twips (1/1440 inch) at the screen's logical dpi. Pure functions, no widgets, so the scale
// can be checked without a display.

#include <cmath>

namespace kovrel {

inline constexpr double kMmPerInch = 25.4;
inline constexpr double kTwipsPerInch = 1440.0;

// Picture1 on the main window: 4695 x 4935 twips, about 83 x 87 mm.
inline constexpr int kPlotWidthTwips = 4695;
inline constexpr int kPlotHeightTwips = 4935;

inline constexpr double twipsToMm(double twips) { return twips * kMmPerInch / kTwipsPerInch; }

// Window geometry: twips to pixels at the screen's logical dots per inch, rounded to the nearest
// pixel (px = twips * dpi / 1440).
inline int twipsToPixels(double twips, double logicalDpi) {
  return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}
inline int pixelsToTwips(double pixels, double logicalDpi) {
  return static_cast<int>(std::lround(pixels * kTwipsPerInch / logicalDpi));
}

// Screen pixels per millimetre of the plot, from the screen's physical dots per inch.
struct PlotScale {
  double pxPerMmX = 96.0 / kMmPerInch;
  double pxPerMmY = 96.0 / kMmPerInch;

  static PlotScale fromPhysicalDpi(double dpiX, double dpiY) {
    return PlotScale{dpiX / kMmPerInch, dpiY / kMmPerInch};
  }

  // Position on the plot (mm from its top-left corner, y downwards) in fractional pixels.
  double toPixelX(double mm) const { return mm * pxPerMmX; }
  double toPixelY(double mm) const { return mm * pxPerMmY; }

  // The pixel that holds a plot position: the one whose square contains it.
  int pixelColumn(double mm) const { return static_cast<int>(std::floor(toPixelX(mm))); }
  int pixelRow(double mm) const { return static_cast<int>(std::floor(toPixelY(mm))); }

  // Size of the whole plot in pixels at true size.
  int plotWidthPixels() const { return static_cast<int>(std::lround(twipsToMm(kPlotWidthTwips) * pxPerMmX)); }
  int plotHeightPixels() const {
    return static_cast<int>(std::lround(twipsToMm(kPlotHeightTwips) * pxPerMmY));
  }
};

// Pixels covered by a square dot: `width` pixels across, centred on the pixel of its position
// (an even width extends one pixel more to the right and below).
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

inline PixelRect dotPixels(const PlotScale& scale, double xMm, double yMm, int width) {
  const int w = width < 1 ? 1 : width;
  const int before = (w - 1) / 2;
  return PixelRect{scale.pixelColumn(xMm) - before, scale.pixelRow(yMm) - before, w, w};
}

}  // namespace kovrel
