#include "ports/guidance.h"

namespace kovrel {

// Where the system has a Device Manager of its own, the guidance's steps apply as written.
std::string_view platformGuidanceHint() { return {}; }

}  // namespace kovrel
