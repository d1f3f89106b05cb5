#pragma once
// The Linux side of the atomic replace, seen by its tests.

#include "files/atomic_write.h"

namespace kovrel {

// A failed write's system error (errno) as the problem the operator is told.
WriteOutcome writeFailureOf(int error);

}  // namespace kovrel
