#pragma once
// A folder the lab's host watches as the link: on a send the shape lands there as a VCA trace
// file named by the job, written under a temporary name the host ignores and renamed once
// complete, so the host never reads half a file and a second send of the job replaces the first
// only when the new one is whole. The exchange runs unchanged above it: this link plays the host's
// part of it (acknowledges the request, ends its message at once) and turns the answer into the
// file.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/kept_read.h"
#include "host/host_link.h"

namespace kovrel {

// The trace file's text for `job` and the 800 absolute radii in hundredths of mm.
using TraceFileText = std::function<std::string(const std::string& job, const std::vector<int>& radii)>;

// The archive's form of a shape without a read of its own: JOB, its sizes (HBOX, VBOX, FED, CIRC)
// and TRCFMT=1;800;E;R;D with the radii as R= records, as any lab's reader takes it.
std::string vcaTraceText(const std::string& job, const std::vector<int>& radii, const WallTime& time);

// Why the folder cannot take traces (Spanish, naming the folder and what to do); nullopt when it
// can. Tries a real write: permissions alone do not tell about a network share.
std::optional<std::string> folderProblem(const std::filesystem::path& folder);

class FolderLink : public HostLink {
 public:
  // `text` empty: the archive's form, stamped with the time of the send.
  explicit FolderLink(std::filesystem::path folder, TraceFileText text = {});

  std::string label() const override { return " Carpeta"; }
  void open() override;
  bool present() const override { return true; }
  void prepare() override;
  void write(const std::vector<std::uint8_t>& bytes) override;
  int pending() const override { return static_cast<int>(input_.size()); }
  std::vector<std::uint8_t> read(int n) override;
  bool lost() const override { return false; }

  // The file the last send wrote.
  const std::filesystem::path& lastFile() const { return lastFile_; }

 private:
  std::filesystem::path folder_;
  TraceFileText text_;
  std::string job_;  // the request's job number: the file's name and JOB
  std::vector<std::uint8_t> input_;
  std::filesystem::path lastFile_;
};

}  // namespace kovrel
