#include "cli_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace kovrel::cli {
namespace {

constexpr int kTracePoints = 4095;
constexpr double kMarginMm = 2.0;
constexpr double kCrossMm = 1.0;

// Millimetres with two decimals from a value in mm, never "-0.00".
std::string mm(double value) {
  const long long hundredths = std::llround(value * 100.0);
  const long long magnitude = hundredths < 0 ? -hundredths : hundredths;
  char text[48];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", hundredths < 0 ? "-" : "", magnitude / 100,
                magnitude % 100);
  return text;
}

}  // namespace

std::string traceText(const TraceTable& trace) {
  std::string out;
  out.reserve(kTracePoints * 48);
  char line[96];
  for (int i = 1; i <= kTracePoints; ++i) {
    std::snprintf(line, sizeof line, "%d %.17g %.17g\n", i, trace.angle(i), trace.radius(i));
    out += line;
  }
  return out;
}

std::string outlineSvg(const std::vector<int>& radii) {
  struct Point {
    double x, y;  // mm, y upwards
  };
  std::vector<Point> points;
  points.reserve(radii.size());
  const auto n = static_cast<double>(radii.size());
  for (std::size_t i = 0; i < radii.size(); ++i) {
    const double a = 2.0 * std::numbers::pi * static_cast<double>(i) / n;
    const double r = radii[i] / 100.0;
    points.push_back({r * std::cos(a), r * std::sin(a)});
  }
  double minX = -kCrossMm, maxX = kCrossMm, minY = -kCrossMm, maxY = kCrossMm;
  for (const Point& p : points) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  // SVG's y runs downwards: the drawing uses -y, so the top edge is at -maxY.
  const double left = minX - kMarginMm, top = -maxY - kMarginMm;
  const double width = maxX - minX + 2 * kMarginMm, height = maxY - minY + 2 * kMarginMm;

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + mm(width) + "mm\" height=\"" + mm(height) +
         "mm\" viewBox=\"" + mm(left) + " " + mm(top) + " " + mm(width) + " " + mm(height) + "\">\n";
  svg += "  <path d=\"M " + mm(-kCrossMm) + " 0.00 H " + mm(kCrossMm) + " M 0.00 " + mm(-kCrossMm) + " V " +
         mm(kCrossMm) + "\" stroke=\"red\" stroke-width=\"0.05\"/>\n";
  svg += "  <path fill=\"none\" stroke=\"black\" stroke-width=\"0.1\" d=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    svg += (i == 0 ? "M " : (i % 8 == 0 ? "\n    L " : " L "));
    svg += mm(points[i].x) + " " + mm(-points[i].y);
  }
  if (!points.empty()) svg += " Z";
  svg += "\"/>\n</svg>\n";
  return svg;
}

}  // namespace kovrel::cli
