// The settings file from arbitrary bytes, loaded, saved and loaded again: the second load sees
// exactly the lines of the first (none lost, changed or multiplied, each in its place).

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "settings/settings_file.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path folder = [] {
    std::string pattern =
        (fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string()) + "/kovrel-fuzz-XXXXXX";
    return fs::path(::mkdtemp(pattern.data()));
  }();
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
  std::ofstream(folder / kovrel::kSettingsFileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  kovrel::SharedState state;
  kovrel::SettingsFile first(folder);
  first.carrega_dades(state);
  const kovrel::SaveResult saved = first.guarda_dades(state);
  kovrel::SharedState reloaded;
  kovrel::SettingsFile second(folder);
  second.carrega_dades(reloaded);
  if (saved == kovrel::SaveResult::Saved && second.linies_config() != first.linies_config())
    throw std::logic_error("a load and save changed the file's lines");
  return 0;
}
