#include "geometry/shape_sizes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "base/number_text.h"
#include "geometry/prepare.h"
#include "geometry/prepare_steps.h"

namespace kovrel {
namespace {

struct Point {
  double x, y;  // mm
};

}  // namespace

// to_chars never consults the process locale.
std::string twoDecimals(double mm, char decimalSeparator) {
  char buf[32];
  auto [end, error] = std::to_chars(buf, buf + sizeof buf, mm, std::chars_format::fixed, 2);
  std::string text(buf, error == std::errc() ? end : buf);
  std::replace(text.begin(), text.end(), '.', decimalSeparator);
  return text;
}

ShapeSizes measureShape(const std::vector<double>& radiiHundredths) {
  ShapeSizes sizes;
  const std::size_t count = radiiHundredths.size();
  if (count == 0) return sizes;

  // Exact turn (not the preparation's 6.28318530718): this is where the host puts each radius.
  std::vector<Point> points(count);
  double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double angle = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count);
    const double r = radiiHundredths[i] / 100;
    points[i] = {r * std::cos(angle), r * std::sin(angle)};
    if (i == 0 || points[i].x < minX) minX = points[i].x;
    if (i == 0 || points[i].x > maxX) maxX = points[i].x;
    if (i == 0 || points[i].y < minY) minY = points[i].y;
    if (i == 0 || points[i].y > maxY) maxY = points[i].y;
  }
  sizes.a = maxX - minX;
  sizes.b = maxY - minY;

  const Point centre{(minX + maxX) / 2, (minY + maxY) / 2};
  double longest = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    longest = std::max(longest, std::hypot(points[i].x - centre.x, points[i].y - centre.y));
    const Point& next = points[(i + 1) % count];
    sizes.perimeter += std::hypot(next.x - points[i].x, next.y - points[i].y);
  }
  sizes.dm = 2 * longest;
  return sizes;
}

std::vector<double> sentRadii(const TraceTable& forma_auxiliar) {
  std::vector<double> radii{forma_auxiliar.radius(1)};
  radii.reserve(preparation::kRadii);
  for (int n = 2; n <= preparation::kRadii; ++n) {
    const double code = forma_auxiliar.radius(n);
    radii.push_back(radii.back() + (code > 127 ? code - 256 : code));
  }
  return radii;
}

std::string sizesText(const ShapeSizes& sizes, char decimalSeparator) {
  return "A " + twoDecimals(sizes.a, decimalSeparator) + " mm  B " + twoDecimals(sizes.b, decimalSeparator) +
         " mm  DM " + twoDecimals(sizes.dm, decimalSeparator) + " mm  Perímetro " +
         twoDecimals(sizes.perimeter, decimalSeparator) + " mm";
}

ShapeSizesView::ShapeSizesView(const SharedState& state, Window& window) : s_(state), w_(window) {}

void ShapeSizesView::clear() {
  shape_ = false;
  w_.setText(Control::midesLbl, "");
}

void ShapeSizesView::shapeReady() {
  shape_ = true;
  refresh();
}

void ShapeSizesView::refresh() {
  if (!shape_) return;
  std::vector<double> radii;
  if (s_.ja_Enviat == 1) {
    // Sent: ENVIAR delivers the stored trace again, whatever the offsets say now.
    radii = sentRadii(s_.forma_auxiliar);
  } else {
    // The send refuses a manual offset that is not a number or a filter beyond one turn: no
    // shape would leave, so there is no size to show.
    double manualMm = 0.0;
    const double filterscope = s_.filterscope.toNumber();
    if (!parseLocaleNumber(w_.text(Control::offset_mida), w_.decimalSeparator(), manualMm) ||
        !preparation::filterInRange(filterscope)) {
      w_.setText(Control::midesLbl, "");
      return;
    }
    radii = sentRadii(
        prepareShape(s_.forma_treball, preparationInputs(s_, manualMm, filterscope)).forma_auxiliar);
  }
  w_.setText(Control::midesLbl, sizesText(measureShape(radii), w_.decimalSeparator()));
}

}  // namespace kovrel
