#include "settings/file_sync.h"

namespace kovrel {

std::filesystem::path temporaryPathFor(const std::filesystem::path& target) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  return temporary;
}

}  // namespace kovrel
