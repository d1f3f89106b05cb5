#pragma once
// The Windows version the administrator notice depends on (Vista, major version 6, and later
// virtualise writes to the program folder). GetVersion answers 6.2 to every program without a
// compatibility manifest, whatever the system really is, so the version is asked of the kernel.

namespace kovrel {

struct WindowsVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
};

// The running system's true version; all zero when it cannot be read.
WindowsVersion runningWindowsVersion();

}  // namespace kovrel
