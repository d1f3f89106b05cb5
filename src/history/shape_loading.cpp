#include "history/shape_loading.h"

#include <cmath>
#include <cstddef>

#include "base/number_text.h"
#include "base/texts.h"
#include "scanner/capture.h"

namespace kovrel {

TraceTable edgeTrace(const std::vector<double>& radiiMm) {
  TraceTable trace;
  const std::size_t count = radiiMm.size();
  if (count == 0) return trace;
  for (int i = 1; i < kSamplesPerRead; ++i) {
    const double angle = (i - 1) * kFullTurn / (kSamplesPerRead - 1);  // radians
    const double at = angle / kFullTurn * static_cast<double>(count);
    const auto below = static_cast<std::size_t>(std::floor(at)) % count;
    const double part = at - std::floor(at);
    trace.angle(i) = angle;
    trace.radius(i) = radiiMm[below] * (1 - part) + radiiMm[(below + 1) % count] * part;
  }
  return trace;
}

void putShape(SharedState& s, Window& w, const KeptShape& shape) {
  s.esticCapturant = 0;
  s.forma_treball = shape.ownRead ? shape.forma_treball : edgeTrace(shape.radiiMm);
  s.forma_llegida = s.forma_treball;
  s.forma_de_fitxer = shape.ownRead ? 0 : 1;
  if (shape.ownRead) s.serial_number = shape.serial_number;
  s.contador_treballs = shape.job;
  w.setText(Control::contadorLectures, "Rev.[" + shape.job + "]");
  s.signe_x = shape.signe_x < 0 ? -1 : 1;
  s.signe_y = 1;
  s.gir_acumulat = shape.gir_acumulat;
  s.normalOaire = shape.normalOaire;
  // A new read for the send: it is prepared afresh and asks for its lens type.
  s.tipoMontura = 0;
  s.ja_Enviat = 0;
  w.setText(Control::offset_mida, shape.manualOffsetMm == 0.0
                                      ? std::string(texts::kManualOffsetInitial)
                                      : localeNumber(shape.manualOffsetMm, w.decimalSeparator()));
  w.setText(Control::Text1, texts::kReadFinished);
}

void standShape(SharedState& state, Window& window, Capture& capture, ShapeEditor& editor,
                const KeptShape& shape) {
  putShape(state, window, shape);
  editor.redraw();
  window.setValue(Control::ProgressBar1, 0);
  capture.shapeStands();
}

}  // namespace kovrel
