#include "scanner/plot.h"

namespace kovrel {

void dibuixa_eixos_coordenades(Plot& plot) {
  plot.line(5, 40, 75, 40);
  plot.line(40, 5, 40, 75);
  struct Family {
    int from, to, step;
    double upper, lower;  // tick extent across the axis, mm from the box's edge
  };
  // Centimetres, millimetres, half centimetres: each tick crosses both axes.
  constexpr Family kFamilies[] = {{10, 70, 10, 39.0, 41.0}, {5, 75, 1, 39.8, 40.4}, {5, 75, 5, 39.5, 40.5}};
  for (const Family& f : kFamilies) {
    for (int i = f.from; i <= f.to; i += f.step) {
      plot.line(i, f.upper, i, f.lower);
      plot.line(f.upper, i, f.lower, i);
    }
  }
}

void clearAndDrawAxes(Plot& plot) {
  plot.clear();
  dibuixa_eixos_coordenades(plot);
}

}  // namespace kovrel
