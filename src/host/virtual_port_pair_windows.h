#pragma once
#include <memory>

#include "base/timer.h"
#include "host/virtual_port.h"

namespace kovrel {
// The host's virtual port on Windows: this program's end of a null-modem port pair; the host
// opens the other end under its COM name. `poll` ticks on the event loop (a QtTimer in the
// program, a fake in tests) to look for bytes and line changes.
std::unique_ptr<VirtualPort> makePairVirtualPort(std::unique_ptr<Timer> poll);
}  // namespace kovrel
