#pragma once
// The link the technician's choice names, built and ready, or refused with the reason (Spanish,
// for the ports window): a port already taken, an address that is not valid, a folder that cannot
// be written. The caller keeps its old link when this one is refused.

#include <memory>
#include <string>

#include "base/shared_state.h"
#include "host/host_link.h"
#include "host/virtual_port.h"
#include "links/link_choice.h"

namespace kovrel {

struct MadeLink {
  std::unique_ptr<HostLink> link;  // null when refused
  std::string refusal;
};

// `serialPort` and `state` serve the serial link (it names the port by comport2).
MadeLink makeHostLink(const LinkChoice& choice, VirtualPort& serialPort, const SharedState& state);

}  // namespace kovrel
