#pragma once
// A kept read or a trace file takes the place of a read: its shape goes into forma_treball with
// the mirror, turn and offsets last kept, and the program stands as at the end of a read. A
// lens type is asked again at the first send, as for every new read. The shape on the plot is
// also written out as a trace file of the archive's form ("Guardar como…").

#include <filesystem>
#include <optional>
#include <string>

#include "archive/kept_read.h"
#include "base/shared_state.h"
#include "base/window.h"
#include "geometry/shape_editor.h"
#include "scanner/capture.h"

namespace kovrel {

// Puts a usable file's shape and its settings into the shared state and the job and offset
// texts into the window. A file Kovrel kept comes back from its read's own samples and header
// values; another program's radii become a working trace that the tip's compensation leaves as
// it is. Returns why not (nothing changed) when the kept read's samples are not whole.
std::string putShape(SharedState& state, Window& window, const TraceFileContent& file);

// The whole of it: the shape put in, drawn turned and mirrored as kept, and the program as at
// the end of a read ("fin lectura > modificar o enviar", edit and send on, sizes shown).
std::string standShape(SharedState& state, Window& window, Capture& capture, ShapeEditor& editor,
                       const TraceFileContent& file);

// Reads a trace file for the plot: its content, or (unusable) why not, in Spanish.
TraceFileContent readShapeFile(const std::filesystem::path& file);

// Writes the shape on the plot to `file` (atomically) as the archive keeps it: `kept` is the read
// the archive holds for the plot (none for another lab's shape), brought up to the operator's
// present choices. Returns why not, in Spanish; empty when written.
std::string saveShapeFile(const std::filesystem::path& file, const SharedState& state,
                          const std::optional<KeptRead>& kept, double manualOffsetMm, double filterscope,
                          const WallTime& now);

}  // namespace kovrel
