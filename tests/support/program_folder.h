#pragma once
// A fresh program folder for each test, removed afterwards, byte-exact access to its
// trac_conf.cfg, and a settings file loaded from given bytes.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "base/shared_state.h"
#include "file_bytes.h"
#include "settings/default_settings.h"
#include "settings/settings_file.h"

namespace kovrel::testing {

class ProgramFolder {
 public:
  // `leaf`: the program folder's own name inside the temporary one (UTF-8), e.g. with a comma.
  explicit ProgramFolder(std::string_view leaf = "Kovrel") {
    std::random_device random;  // a fresh name per test, on systems without mkdtemp too
    do {
      root_ = std::filesystem::temp_directory_path() / ("kovrel-settings-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(root_));
    path_ = root_ / std::filesystem::path(std::u8string(leaf.begin(), leaf.end()));
    std::filesystem::create_directories(path_);
  }
  ~ProgramFolder() {
    std::error_code ignored;  // a test may leave a folder inside read-only
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_, ignored))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file() const { return path_ / kSettingsFileName; }
  std::string text() const {  // the folder as the settings hold it (UTF-8)
    const std::u8string u8 = path_.u8string();
    return std::string(u8.begin(), u8.end());
  }
  void write(std::string_view bytes) const {
    std::ofstream(file(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string read() const { return fileBytes(file()); }

 private:
  std::filesystem::path root_;
  std::filesystem::path path_;
};

// Lines joined as the program writes them.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view line : lines) out.append(line).append("\r\n");
  return out;
}

// Every setting the writer requires holds a plausible, non-zero value.
inline SharedState calibratedState() {
  using D = DefaultCalibration;
  SharedState s;
  s.grausperpols = D::grausperpols, s.midaradi = D::midaradi, s.polsoseix = D::polsoseix;
  s.polsosini = D::polsosini, s.carrera = D::carrera, s.obertura_brac = D::obertura_brac;
  s.radi_central = D::radi_central, s.filterscope = "3", s.comport1 = "3", s.comport2 = "5";
  s.lletra = "/opt/kovrel", s.primera_instalacio = "10";
  return s;
}

// A program folder whose file holds `bytes`, loaded into `state` (which starts as `initial`).
struct LoadedSettings {
  explicit LoadedSettings(std::string_view bytes, SharedState initial = calibratedState())
      : state(std::move(initial)) {
    folder.write(bytes);
    outcome = file.carrega_dades(state);
  }
  ProgramFolder folder;
  SettingsFile file{folder.path()};
  SharedState state;
  LoadOutcome outcome;
};

}  // namespace kovrel::testing
