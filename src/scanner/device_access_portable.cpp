#include "scanner/serial_port_qt.h"

// Systems where serial devices are not guarded by group membership.
namespace kovrel {

std::string groupDenyingAccess(const std::filesystem::path&) { return {}; }

}  // namespace kovrel
