#pragma once
// One running copy of the program on Windows. The tracer's port and the host's virtual port are
// the machine's, not a user's: a second copy could only fight the first for them. A second start
// finds the first copy through a named mutex, brings its window forward and leaves.

#include <string_view>

namespace kovrel {

class RunningCopyGuard {
 public:
  // `name`: the same for every copy, e.g. "Global\Kovrel" (all sessions of the machine). The
  // mutex lives as long as the guard; the system drops it when the copy ends, even by a crash.
  explicit RunningCopyGuard(std::string_view name);
  ~RunningCopyGuard();
  RunningCopyGuard(const RunningCopyGuard&) = delete;
  RunningCopyGuard& operator=(const RunningCopyGuard&) = delete;

  // False when another copy holds the name, also when it is another user's copy that this one
  // may not open.
  bool first() const { return first_; }

 private:
  void* mutex_ = nullptr;
  bool first_ = false;
};

// Restores the top-level window titled `title` when it is minimised and brings it to the front.
// The second copy calls it before it has windows of its own, so the window found is the earlier
// copy's. False when there is no such window. A window the earlier copy has hidden (auto mode)
// stays hidden: that copy shows itself when the second copy raises DTR on its virtual port.
bool bringWindowForward(std::string_view title);

}  // namespace kovrel
