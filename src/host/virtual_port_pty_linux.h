#pragma once
// The host's virtual serial port on a pseudo-terminal. This program keeps the pty master; the
// slave is the port the host opens, through the "COMn" link published in the COM-name folder.
//
// How the host is watched, with no modem lines to look at:
//  - holding: the master reports a hang-up while nobody has the slave open. The hang-up is
//    level-triggered and a quick open+close slips between two polls, so opens and closes of the
//    slave are watched with inotify, and the hang-up is asked only to confirm who still holds it.
//    The master is read only while the port is held (otherwise it would signal all the time);
//  - the line signal: the slave carries EXTPROC and the master is in packet mode, so every
//    tcsetattr of the host is reported to us. A host (or a second copy of this program) that
//    opens and configures the port raises `canvi_senyal` with `senyal_extern` true, as raising
//    DTR does on a real port;
//  - stale answers: bytes the host did not read stay in the slave's queue for the next opener, so
//    they are flushed when the holder goes away, and nothing is written while nobody holds it.

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <filesystem>
#include <memory>

#include "host/virtual_port.h"
#include "ports/com_registry.h"

namespace kovrel {

class PtyVirtualPort : public QObject, public VirtualPort {
 public:
  // Publishes through `registry` as process `ownerPid` (this process unless a test says else).
  explicit PtyVirtualPort(ComRegistry& registry, int ownerPid = currentProcessId(),
                          QObject* parent = nullptr);
  ~PtyVirtualPort() override;  // removes the published name

  void crear_port(const std::string& name) override;
  void eliminar_port() override;
  bool port_obert_host() const override;
  int bytes_pendents() const override;
  void preparar_port() override;
  void tancar_port() override;
  void obrir_port(const std::string& name) override;
  void set_opcio_port(bool on) override { opcio_ = on; }
  bool port_existeix() const override;
  std::vector<std::uint8_t> llegir_bytes(int n) override;
  void escriure_bytes(const std::vector<std::uint8_t>& bytes) override;
  bool senyal_extern() const override { return senyal_; }

  bool opcio_port() const { return opcio_; }
  // The device the host opens (the pty slave); empty while no port exists.
  const std::string& devicePath() const { return slavePath_; }

 private:
  void createPty();
  void destroyPty();
  void onSlaveOpenedOrClosed();
  void onMasterReadable();
  void hostArrived();
  void hostLeft();
  void flushStaleOutput();
  bool hungUp() const;
  // Reads what the master has, without blocking: data into the input, line changes noted.
  void readMaster() const;
  void noteControl(unsigned char flags) const;
  void deliverEvents();
  void scheduleDelivery() const;

  ComRegistry& registry_;
  int ownerPid_;
  int createdNumber_ = 0;  // COM number of the port this object created; 0 for none
  std::string openName_;   // name of the last obrir_port
  bool sideOpen_ = false;
  bool opcio_ = true;
  bool held_ = false;
  bool senyal_ = false;

  int master_ = -1;
  int inotify_ = -1;
  int watch_ = -1;
  std::string slavePath_;
  std::unique_ptr<QSocketNotifier> masterNotifier_;
  std::unique_ptr<QSocketNotifier> slaveWatch_;
  unsigned generation_ = 0;  // bumps when the pty goes, so late queued work is dropped

  // Filled by reads that also happen inside const queries (bytes_pendents polls the master so an
  // exchange sees the host's bytes without going back to the event loop).
  mutable std::deque<std::uint8_t> input_;
  mutable bool newData_ = false;
  mutable bool peerConfigured_ = false;
  mutable bool deliveryQueued_ = false;
};

}  // namespace kovrel
