#pragma once
// The read the operator has on the plot, kept in the archive: stored when its read ends, written
// again when its mirror, turn, lens type or manual offset change and after every send. A write
// that fails is told once (the caller shows the message in the information box after the read's
// own); the read itself stays usable and sendable whatever the archive does.

#include <filesystem>
#include <optional>
#include <string>

#include "archive/archive_store.h"

namespace kovrel {

class ArchiveKeeper {
 public:
  explicit ArchiveKeeper(ArchiveStore& store);

  // A read ended with its shape handed over: keeps it. The message to show when the write failed
  // and the archive's failure has not been told yet.
  std::optional<std::string> readFinished(const SharedState& state, double manualOffsetMm,
                                          double filterscope);
  // The choices may have changed: writes the file again when they did.
  std::optional<std::string> choicesMayHaveChanged(const SharedState& state, double manualOffsetMm,
                                                   double filterscope);
  // A send ended with the information box saying `outcome`.
  std::optional<std::string> sent(const SharedState& state, const std::string& outcome, double filterscope);
  // A loaded read (from the history) takes the plot: its later changes and sends go to `file`.
  void adopt(const std::filesystem::path& file, const KeptRead& kept);
  // The plot has no kept read any more (a new read started, a stop, a foreign file loaded).
  void release();

  const std::optional<KeptRead>& current() const { return kept_; }
  const std::filesystem::path& currentFile() const { return file_; }

 private:
  std::optional<std::string> tell(const ArchiveWrite& written);

  ArchiveStore& store_;
  std::optional<KeptRead> kept_;
  std::filesystem::path file_;
  bool told_ = false;  // the failure was told; told again only after a write went through
};

}  // namespace kovrel
