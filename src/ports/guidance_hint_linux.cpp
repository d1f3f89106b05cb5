#include "ports/guidance.h"

namespace kovrel {

// The guidance speaks of the Windows Device Manager; here the COM numbers are the program's own
// and the command-line companion shows and moves them.
std::string_view platformGuidanceHint() {
  return "En Linux: «kovrel-cli ports» lista los puertos COM; «kovrel-cli ports renumber COMa COMb» "
         "cambia el número de un adaptador USB.";
}

}  // namespace kovrel
