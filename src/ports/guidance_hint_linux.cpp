#include "ports/guidance.h"

namespace kovrel {

// The guidance speaks of the Windows Device Manager; here the COM numbers are the program's own
// and the command-line companion shows and moves them.
std::string_view platformGuidanceHint() {
  return "En Linux: ver los COM con «kovrel-cli ports», cambiar uno con «kovrel-cli ports renumber COMa "
         "COMb».";
}

}  // namespace kovrel
