#pragma once
// A kept read or a trace file takes the place of a read: its shape goes into forma_treball with
// the mirror, turn and offsets last kept, and the program stands as at the end of a read. A
// lens type is asked again at the first send, as for every new read.

#include <vector>

#include "base/shared_state.h"
#include "base/window.h"
#include "geometry/shape_editor.h"
#include "history/history_entry.h"
#include "scanner/capture.h"

namespace kovrel {

// Equiangular radii (mm, the first at 0 radians, counter-clockwise, any count from 3) as the
// 4095 points of a read's working trace, each at its turntable step, linearly between the two
// nearest radii.
TraceTable edgeTrace(const std::vector<double>& radiiMm);

// Puts the shape and its settings into the shared state and the job and offset texts into the
// window. The caller then lets the read's end follow (Capture::shapeStands) and redraws.
void putShape(SharedState& state, Window& window, const KeptShape& shape);

// The whole of it: the shape put in, drawn turned and mirrored as kept, and the program as at
// the end of a read ("fin lectura > modificar o enviar", edit and send on, sizes shown).
void standShape(SharedState& state, Window& window, Capture& capture, ShapeEditor& editor,
                const KeptShape& shape);

}  // namespace kovrel
