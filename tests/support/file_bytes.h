#pragma once
// A file's bytes exactly as they are on disk ("" when it cannot be read), for tests in any folder.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kovrel::testing {

inline std::string fileBytes(const std::filesystem::path& file) {
  std::ostringstream bytes;
  bytes << std::ifstream(file, std::ios::binary).rdbuf();
  return bytes.str();
}

}  // namespace kovrel::testing
