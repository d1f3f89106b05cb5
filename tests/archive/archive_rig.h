#pragma once
// A read as the capture leaves it, for the archive's tests (the installed arm, a traced outline),
// and an archive in a scratch folder whose clock the test sets.

#include <filesystem>
#include <string>

#include "archive/archive_store.h"
#include "base/shared_state.h"
#include "capture_rig.h"
#include "common/tracer_stream.h"
#include "program_folder.h"

namespace kovrel::testing {

inline SharedState capturedRead(const toolkit::Outline& outline, int job, double angleplus = 1.5e-6) {
  toolkit::TracerCalibration cal;
  cal.angleplus = angleplus;
  CaptureRig rig;
  rig.start();
  rig.burst(toolkit::buildStream(outline, cal, 1, job));
  rig.state.filterscope = 3;
  return rig.state;
}

struct Archive {
  ProgramFolder folder;
  WallTime now{2026, 12, 7, 14, 30, 12};
  ArchiveStore store{folder.path() / "trazados", [this] { return now; }};
  const SharedState read = capturedRead(toolkit::superellipse(26, 17, 6), 42);

  ArchiveWrite keep(const std::string& job, const WallTime& at) {
    now = at;
    KeptRead kept = keptReadOf(read, 0, 3, {});
    kept.job = job;
    return store.keep(kept);
  }
  std::vector<std::string> jobs(const ArchiveFilter& filter = {}, std::size_t first = 0,
                                std::size_t count = 100) {
    std::vector<std::string> jobs;
    for (const ArchiveEntry& e : store.list(filter, first, count).entries)
      jobs.push_back(e.readable ? e.job : "?");
    return jobs;
  }
};

}  // namespace kovrel::testing
