#pragma once
// The size of the shape as the host will cut it, measured on the radii it receives: the boxed
// width A and height B, the effective diameter DM and the perimeter. The operator watches them
// under the plot while turning the shape or choosing a lens type and a manual offset, so they
// follow every change that reaches the host and nothing that does not.

#include <string>
#include <vector>

#include "base/shared_state.h"
#include "base/trace_table.h"
#include "base/window.h"

namespace kovrel {

struct ShapeSizes {
  double a = 0.0;          // boxed width, mm
  double b = 0.0;          // boxed height, mm
  double dm = 0.0;         // effective diameter: twice the longest radius from the box centre, mm
  double perimeter = 0.0;  // of the closed polygon through the points, mm
};

// Sizes of equiangular radii in hundredths of a millimetre, the first at 0 radians and the
// others counter-clockwise at equal steps (any count; the host's trace has 800). Empty input
// measures 0.
ShapeSizes measureShape(const std::vector<double>& radiiHundredths);

// The 800 radii (hundredths of mm) the host rebuilds from the coded rows 1..800 of
// forma_auxiliar: the first radius, then the running sum of the signed byte codes.
std::vector<double> sentRadii(const TraceTable& forma_auxiliar);

// A length in mm with two decimals and the operator's decimal separator ("52,34").
std::string twoDecimals(double mm, char decimalSeparator);

// "A 52,34 mm  B 38,10 mm  DM 54,02 mm  Perímetro 150,12 mm", two decimals with the operator's
// decimal separator.
std::string sizesText(const ShapeSizes& sizes, char decimalSeparator);

// The sizes label under the plot (midesLbl). Empty until a read hands its shape over, and again
// from the start of the next read or a stop; in between it shows the shape that ENVIAR would
// deliver now. Measuring prepares a copy of the read with the send's own preparation and leaves
// the send's tables alone, so what is sent and when it is prepared do not change.
class ShapeSizesView {
 public:
  ShapeSizesView(const SharedState& state, Window& window);

  // A read starts or is stopped: there is no shape to measure.
  void clear();
  // A read handed its shape over (forma_treball).
  void shapeReady();
  // The turn, the mirror or an offset may have changed: measures the shape again.
  void refresh();

 private:
  const SharedState& s_;
  Window& w_;
  bool shape_ = false;
};

}  // namespace kovrel
