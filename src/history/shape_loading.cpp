#include "history/shape_loading.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/number_text.h"
#include "base/texts.h"
#include "files/atomic_write.h"
#include "geometry/foreign_trace.h"

namespace kovrel {

std::string putShape(SharedState& s, Window& w, const TraceFileContent& file) {
  if (!file.usable) return file.reason;
  std::string job = file.job;
  double manualMm = 0.0;
  if (file.kept) {
    if (!restoreKeptRead(*file.kept, s)) return "la lectura guardada no está completa";
    s.forma_de_fitxer = 0;
    job = file.kept->job;
    manualMm = file.kept->choices.manualOffsetMm;
  } else {
    s.forma_treball = workingTraceFromRadii(file.trace.radii);
    s.forma_de_fitxer = 1;
    // No read of the tracer's behind it: nothing of the last read may be kept as this shape's.
    s.raw_samples.clear();
    s.signe_x = 1;
    s.signe_y = 1;
    s.gir_acumulat = 0.0;
    s.normalOaire = 0.0;
  }
  s.esticCapturant = 0;
  s.contador_treballs = job;
  w.setText(Control::contadorLectures, "Rev.[" + job + "]");
  // A new read for the send: it is prepared afresh and asks for its lens type.
  s.tipoMontura = 0;
  s.ja_Enviat = 0;
  // In the operator's own form: the send reads it back with the locale's separator.
  std::string manual(texts::kManualOffsetInitial);
  std::replace(manual.begin(), manual.end(), ',', w.decimalSeparator());
  w.setText(Control::offset_mida, manualMm == 0.0 ? manual : localeNumber(manualMm, w.decimalSeparator()));
  w.setText(Control::Text1, texts::kReadFinished);
  return {};
}

std::string standShape(SharedState& state, Window& window, Capture& capture, ShapeEditor& editor,
                       const TraceFileContent& file) {
  std::string problem = putShape(state, window, file);
  if (!problem.empty()) return problem;
  editor.redraw();
  window.setValue(Control::ProgressBar1, 0);
  capture.shapeStands();
  return {};
}

TraceFileContent readShapeFile(const std::filesystem::path& file) {
  TraceFileContent refused;
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || !std::filesystem::is_regular_file(file, error)) {
    refused.reason = "no se puede leer";
    return refused;
  }
  if (size > kMaxTraceFileBytes) {
    refused.reason = "es demasiado grande para ser un trazado";
    return refused;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), {}};
  if (!in && !in.eof()) {
    refused.reason = "no se puede leer";
    return refused;
  }
  return parseTraceFile(text);
}

std::string saveShapeFile(const std::filesystem::path& file, const SharedState& state,
                          const std::optional<KeptRead>& kept, double manualOffsetMm, double filterscope,
                          const WallTime& now) {
  KeptRead out =
      kept && state.forma_de_fitxer == 0 ? *kept : keptReadOf(state, manualOffsetMm, filterscope, now);
  out.choices = shapeChoicesOf(state, manualOffsetMm);
  remeasure(out, state, filterscope);
  const WriteOutcome written = replaceFileAtomically(file, writeKeptRead(out));
  return written.ok() ? std::string() : writeProblemText(written);
}

}  // namespace kovrel
