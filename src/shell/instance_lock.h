#pragma once
// One running copy per user. The first copy takes a lock that the kernel drops when the process
// ends, however it ends: a copy that crashed or was killed never blocks the next start, and a
// lock file left behind means nothing by itself.

#include <filesystem>

namespace kovrel {

class InstanceLock {
 public:
  // Tries the lock "kovrel.lock" in `folder` (the per-user runtime folder of the COM names,
  // created for this user alone when missing) and holds it while this object lives. When the
  // folder or the file cannot be used this copy runs unguarded, as no other copy can be told.
  explicit InstanceLock(const std::filesystem::path& folder);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when another running copy holds the lock.
  bool heldElsewhere() const { return heldElsewhere_; }

 private:
  int fd_ = -1;
  bool heldElsewhere_ = false;
};

}  // namespace kovrel
