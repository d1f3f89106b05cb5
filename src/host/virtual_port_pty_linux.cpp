#include "host/virtual_port_pty_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "base/texts.h"

namespace kovrel {

namespace {

// How long a write may wait for a host that has stopped reading (its queue is full), in ms.
constexpr int kWriteStallMs = 1000;

std::string text(std::string_view a, std::string_view b = {}) { return std::string(a) + std::string(b); }

int parseNameOrThrow(const std::string& name) {
  auto number = parseComName(name);
  if (!number) throw VirtualPortError(text(texts::kVirtualPortBadName, name));
  return *number;
}

}  // namespace

PtyVirtualPort::PtyVirtualPort(ComRegistry& registry, int ownerPid, QObject* parent)
    : QObject(parent), registry_(registry), ownerPid_(ownerPid) {}

PtyVirtualPort::~PtyVirtualPort() {
  canvi_senyal = nullptr;
  onBytesArrived = nullptr;
  eliminar_port();
}

// ---- lifecycle --------------------------------------------------------------------------------

void PtyVirtualPort::crear_port(const std::string& name) {
  const int number = parseNameOrThrow(name);
  if (master_ >= 0 && number == createdNumber_) {
    sideOpen_ = true;
    return;
  }
  if (auto other = registry_.publication(number); other && other->ownerPid != ownerPid_)
    throw VirtualPortError(text(name, texts::kVirtualPortInUse));
  eliminar_port();
  createPty();
  try {
    registry_.publish(number, slavePath_, ownerPid_, PortKind::Virtual);
  } catch (const UnsafeLinkFolder& e) {
    destroyPty();
    throw VirtualPortError(text(texts::kVirtualPortUnsafeFolder, e.folder.string()));
  } catch (const ComRegistryError&) {
    destroyPty();
    throw VirtualPortError(text(texts::kVirtualPortNotCreated, name));
  }
  createdNumber_ = number;
  sideOpen_ = true;
}

void PtyVirtualPort::eliminar_port() {
  if (master_ < 0) return;
  registry_.unpublish(createdNumber_, ownerPid_);
  destroyPty();
  createdNumber_ = 0;
  sideOpen_ = false;
  held_ = false;
  senyal_ = false;
  input_.clear();
}

void PtyVirtualPort::obrir_port(const std::string& name) {
  const int number = parseNameOrThrow(name);
  openName_ = name;
  if (master_ >= 0 && number == createdNumber_) {
    sideOpen_ = true;
    return;
  }
  // Another program's port: this program cannot be its other side.
  if (registry_.publication(number)) throw VirtualPortError(text(name, texts::kVirtualPortInUse));
  // No such port yet: nothing to open. port_existeix says so, and start-up creates it.
}

void PtyVirtualPort::tancar_port() {
  sideOpen_ = false;
  input_.clear();
}

bool PtyVirtualPort::port_existeix() const {
  auto number = parseComName(openName_);
  if (!number) return false;
  if (master_ >= 0 && *number == createdNumber_) return true;
  return registry_.publication(*number).has_value();
}

void PtyVirtualPort::createPty() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char path[PATH_MAX] = {};
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, path, sizeof path) != 0) {
    if (master >= 0) ::close(master);
    throw VirtualPortError(text(texts::kVirtualPortNotCreated, "pty"));
  }
  // Raw before anyone can open it (cooked mode would eat or change the first bytes), and EXTPROC
  // so that the host's configuration of its side reaches us as a packet. Opening the slave once
  // also arms the hang-up report: a pty never opened does not report that nobody holds it.
  const int slave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  const bool ready = slave >= 0 && tcgetattr(slave, &raw) == 0;
  if (ready) {
    cfmakeraw(&raw);
    raw.c_lflag |= EXTPROC;
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&raw, B57600);
  }
  const bool configured = ready && tcsetattr(slave, TCSANOW, &raw) == 0;
  if (slave >= 0) ::close(slave);  // never kept: an open slave of ours would hide the host's close
  const int one = 1;
  if (!configured || fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0 ||
      ioctl(master, TIOCPKT, &one) != 0) {
    ::close(master);
    throw VirtualPortError(text(texts::kVirtualPortNotCreated, path));
  }
  master_ = master;
  slavePath_ = path;

  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ >= 0) watch_ = inotify_add_watch(inotify_, path, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
  if (inotify_ < 0 || watch_ < 0) {
    destroyPty();
    throw VirtualPortError(text(texts::kVirtualPortNotCreated, path));
  }
  slaveWatch_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
  connect(slaveWatch_.get(), &QSocketNotifier::activated, this, [this] { onSlaveOpenedOrClosed(); });
  masterNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
  masterNotifier_->setEnabled(false);
  connect(masterNotifier_.get(), &QSocketNotifier::activated, this, [this] { onMasterReadable(); });
  newData_ = peerConfigured_ = false;
}

void PtyVirtualPort::destroyPty() {
  ++generation_;
  masterNotifier_.reset();
  slaveWatch_.reset();
  if (inotify_ >= 0) ::close(inotify_);
  if (master_ >= 0) ::close(master_);
  inotify_ = master_ = watch_ = -1;
  slavePath_.clear();
}

// ---- the host holding the port ------------------------------------------------------------------

bool PtyVirtualPort::hungUp() const {
  if (master_ < 0) return true;
  pollfd p{master_, 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

bool PtyVirtualPort::port_obert_host() const { return master_ >= 0 && !hungUp(); }

void PtyVirtualPort::onSlaveOpenedOrClosed() {
  bool opened = false;
  alignas(inotify_event) char events[4096];
  for (;;) {
    const ssize_t n = ::read(inotify_, events, sizeof events);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->mask & IN_OPEN) opened = true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  const unsigned generation = generation_;
  // An open seen here may already be over (open, configure, close in one go: a second copy's
  // signal): it still counts as a visit, and what it did is read before it is let go.
  if ((opened || !hungUp()) && !held_) {
    hostArrived();
    if (generation != generation_) return;
  }
  readMaster();
  deliverEvents();
  if (generation != generation_) return;
  if (held_ && hungUp()) hostLeft();
}

void PtyVirtualPort::onMasterReadable() {
  const unsigned generation = generation_;
  readMaster();
  deliverEvents();
  if (generation == generation_ && held_ && hungUp()) hostLeft();
}

void PtyVirtualPort::hostArrived() {
  held_ = true;
  senyal_ = false;  // already low: raised only while held
  masterNotifier_->setEnabled(true);
  if (canvi_senyal) canvi_senyal();
}

void PtyVirtualPort::hostLeft() {
  held_ = false;
  senyal_ = false;
  // The master reports the hang-up for as long as nobody holds the port: stop listening.
  masterNotifier_->setEnabled(false);
  flushStaleOutput();
  if (canvi_senyal) canvi_senyal();
}

// What the departed host left unread would be the next opener's first bytes: an answer to a
// request it never made. Only the slave side can drop them, so open it for a moment, with the
// watch off so that this visit of ours is not taken for a host.
void PtyVirtualPort::flushStaleOutput() {
  if (watch_ >= 0) inotify_rm_watch(inotify_, watch_);
  const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave >= 0) {
    tcflush(slave, TCIFLUSH);
    ::close(slave);
  }
  watch_ = inotify_add_watch(inotify_, slavePath_.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
}

// ---- bytes --------------------------------------------------------------------------------------

void PtyVirtualPort::readMaster() const {
  if (master_ < 0) return;
  unsigned char packet[4096];
  for (;;) {
    const ssize_t n = ::read(master_, packet, sizeof packet);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // nothing more (EAGAIN), or nobody holds the port (EIO)
    // Packet mode: a data packet starts with 0, anything else is one byte of control flags.
    if (packet[0] != TIOCPKT_DATA) {
      noteControl(packet[0]);
    } else if (sideOpen_ && n > 1) {
      input_.insert(input_.end(), packet + 1, packet + n);
      newData_ = true;
    }
  }
  if (newData_ || peerConfigured_) scheduleDelivery();
}

void PtyVirtualPort::noteControl(unsigned char flags) const {
  if (!(flags & TIOCPKT_IOCTL)) return;  // flushes and flow control say nothing about the host
  peerConfigured_ = true;
  // A host that cleared EXTPROC would configure unseen from now on: set it again. Our own change
  // is reported too, by the very next read of this same drain, and merges with the host's.
  termios now{};
  if (tcgetattr(master_, &now) == 0 && !(now.c_lflag & EXTPROC)) {
    now.c_lflag |= EXTPROC;
    tcsetattr(master_, TCSANOW, &now);
  }
}

void PtyVirtualPort::scheduleDelivery() const {
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  auto* self = const_cast<PtyVirtualPort*>(this);  // the queue only needs the object's address
  const unsigned generation = generation_;
  QMetaObject::invokeMethod(
      self,
      [self, generation] {
        self->deliveryQueued_ = false;
        if (generation == self->generation_) self->deliverEvents();
      },
      Qt::QueuedConnection);
}

void PtyVirtualPort::deliverEvents() {
  const unsigned generation = generation_;
  if (peerConfigured_) {
    peerConfigured_ = false;
    senyal_ = true;
    if (canvi_senyal) canvi_senyal();
    if (generation != generation_) return;
  }
  if (newData_) {
    newData_ = false;
    if (!input_.empty() && onBytesArrived) onBytesArrived();
  }
}

int PtyVirtualPort::bytes_pendents() const {
  readMaster();
  return static_cast<int>(input_.size());
}

void PtyVirtualPort::preparar_port() {
  readMaster();
  input_.clear();
  newData_ = false;
}

std::vector<std::uint8_t> PtyVirtualPort::llegir_bytes(int n) {
  if (n > static_cast<int>(input_.size())) readMaster();
  const auto count = static_cast<std::ptrdiff_t>(std::clamp(n, 0, static_cast<int>(input_.size())));
  std::vector<std::uint8_t> out(input_.begin(), input_.begin() + count);
  input_.erase(input_.begin(), input_.begin() + count);
  return out;
}

void PtyVirtualPort::escriure_bytes(const std::vector<std::uint8_t>& bytes) {
  if (master_ < 0) throw VirtualPortError(text(texts::kVirtualPortMissing));
  if (!sideOpen_) throw VirtualPortError(text(texts::kVirtualPortClosed));
  // Nobody would read them now, and the next opener must not find them.
  if (!port_obert_host()) return;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      if (::poll(&p, 1, kWriteStallMs) != 1 || !(p.revents & POLLOUT) || hungUp())
        throw VirtualPortError(text(texts::kVirtualPortNotRead));
    } else {
      throw VirtualPortError(text(texts::kVirtualPortNotRead));
    }
  }
}

}  // namespace kovrel
