// Linux: COM numbers come from the COM-name layer, which also publishes the host's
// pseudo-terminal; the lock of the single copy lives in the folder of the published names.

#include "app/platform.h"
#include "host/virtual_port_pty_linux.h"
#include "scanner/serial_port_qt.h"
#include "shell/instance_lock.h"

namespace kovrel {

namespace {

class LinuxPlatform : public Platform {
 public:
  LinuxPlatform() : registry_(systemComFolders()) {}

  std::unique_ptr<SerialPort> makeSerialPort() override {
    return std::make_unique<QtSerialPort>([this](int n) { return registry_.resolve(n); });
  }
  std::unique_ptr<VirtualPort> makeHostPort() override { return std::make_unique<PtyVirtualPort>(registry_); }
  std::vector<SerialCommEntry> serialPorts() override { return registry_.serialCommEntries(); }

 private:
  ComRegistry registry_;
};

class LockFileCopy : public SingleCopy {
 public:
  LockFileCopy() : lock_(systemComFolders().links) {}
  bool heldElsewhere() const override { return lock_.heldElsewhere(); }

 private:
  InstanceLock lock_;
};

}  // namespace

std::unique_ptr<Platform> makePlatform() { return std::make_unique<LinuxPlatform>(); }

std::unique_ptr<SingleCopy> holdSingleCopy() { return std::make_unique<LockFileCopy>(); }

}  // namespace kovrel
