#include <system_error>

#include "settings/program_location.h"

namespace kovrel {

std::filesystem::path runningProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace kovrel
