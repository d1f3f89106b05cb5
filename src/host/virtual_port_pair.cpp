#include "host/virtual_port_pair.h"

#include <algorithm>

#include "base/texts.h"

namespace kovrel {

namespace {

std::string text(std::string_view a, std::string_view b = {}) { return std::string(a) + std::string(b); }

void checkName(const std::string& name) {
  if (!isHostComName(name)) throw VirtualPortError(text(texts::kVirtualPortBadName, name));
}

}  // namespace

PairVirtualPort::PairVirtualPort(std::unique_ptr<PairControl> control, std::unique_ptr<PairEnd> end,
                                 std::unique_ptr<Timer> poll)
    : control_(std::move(control)), end_(std::move(end)), poll_(std::move(poll)) {
  poll_->onTick = [this] { onTick(); };
}

PairVirtualPort::~PairVirtualPort() {
  canvi_senyal = nullptr;
  onBytesArrived = nullptr;
  closeEnd();
  poll_->onTick = nullptr;
}

// ---- lifecycle --------------------------------------------------------------------------------

std::optional<PortPair> PairVirtualPort::findPair(const std::string& name) {
  for (const PortPair& pair : control_->pairs())
    if (sameDeviceName(pair.hostEnd, name)) return pair;
  return std::nullopt;
}

bool PairVirtualPort::takeOpenEnd(const std::string& name) {
  if (!(endOpen_ && pair_ && sameDeviceName(pair_->hostEnd, name))) return false;
  sideOpen_ = true;
  return true;
}

void PairVirtualPort::crear_port(const std::string& name) {
  obrir_port(name);
  // Making a pair needs an administrator's consent, which only the port set-up asks for.
  if (!port_existeix()) throw VirtualPortError(text(texts::kPairMissing), true);
}

void PairVirtualPort::createPort(const std::string& name, const PortCreated& done) {
  if (!isHostComName(name)) return done(VirtualPortError(text(texts::kVirtualPortBadName, name)));
  if (takeOpenEnd(name)) return done(std::nullopt);
  // One change of the driver's devices at a time (a set-up given up and asked for again).
  if (control_->changing()) return done(VirtualPortError(text(texts::kPairControlFailed, "ocupado")));
  std::optional<PortPair> pair;
  try {
    // Ours already (a set-up let go of it), or left by an earlier start: this port, as it is.
    pair = pair_ && sameDeviceName(pair_->hostEnd, name) ? pair_ : findPair(name);
    // A cable port or another program's device under that name: the host would reach it, not us.
    if (!pair && control_->nameInUse(name))
      return done(VirtualPortError(text(name, texts::kVirtualPortInUse)));
    if (pair) openEnd(*pair);
  } catch (const PairControlError& e) {
    return done(VirtualPortError(e.what(), e.administrator()));
  } catch (const VirtualPortError& e) {
    return done(e);
  }
  if (pair) return done(std::nullopt);
  // The one step that needs an administrator's consent: our pair moved to the new name (the
  // driver keeps a port held open), or a new pair. Until it ends the window goes on.
  const std::optional<PortPair> old = pair_;
  closeEnd();
  auto finished = [this, name, old, done](const std::optional<PairControlError>& failure) {
    changeEnded(name, old, failure, done);
  };
  old ? control_->rename(*old, name, finished) : control_->create(name, finished);
  if (control_->changing()) poll_->start();
}

void PairVirtualPort::changeEnded(const std::string& name, const std::optional<PortPair>& old,
                                  const std::optional<PairControlError>& failure, const PortCreated& done) {
  std::optional<VirtualPortError> error;
  try {
    if (failure) throw *failure;
    const auto pair = findPair(name);
    // The program ran and reported success, but no such pair exists: the driver itself is missing.
    if (!pair) throw PairControlError(std::string(texts::kPairDriverMissing), true);
    openEnd(*pair);
  } catch (const PairControlError& e) {
    error = VirtualPortError(e.what(), e.administrator());
  } catch (const VirtualPortError& e) {
    error = e;
  }
  if (failure && old) {
    // Nothing changed: our end back on the pair as it was.
    try {
      openEnd(*old);
    } catch (const VirtualPortError&) {
    }
  }
  done(error);
}

void PairVirtualPort::obrir_port(const std::string& name) {
  checkName(name);
  openName_ = name;
  if (takeOpenEnd(name)) return;
  std::optional<PortPair> pair;
  try {
    pair = findPair(name);
    if (!pair && control_->nameInUse(name)) throw VirtualPortError(text(name, texts::kVirtualPortInUse));
  } catch (const PairControlError& e) {
    throw VirtualPortError(e.what(), e.administrator());
  }
  // No such pair yet: nothing to open. port_existeix says so, and the port set-up creates it.
  if (pair) openEnd(*pair);
}

void PairVirtualPort::eliminar_port() {
  // Removing the pair would need an administrator's consent, and a set-up given up halfway would
  // leave the host without its port: our end lets go and the pair stays ours, for the set-up
  // that follows to take again, or move to its new number in one consented step.
  closeEnd();
}

void PairVirtualPort::tancar_port() {
  // The end itself stays open while the pair exists, so the host's presence and a second start's
  // signal are still seen; only its bytes are no longer ours.
  sideOpen_ = false;
  input_.clear();
  newData_ = false;
}

bool PairVirtualPort::port_existeix() const { return pair_ && sameDeviceName(pair_->hostEnd, openName_); }

void PairVirtualPort::openEnd(const PortPair& pair) {
  closeEnd();
  pair_ = pair;  // known even when its end will not open, so that it can still be removed
  if (!end_->open(pair.ownEnd)) throw VirtualPortError(text(texts::kVirtualPortNotOpened, pair.ownEnd));
  endOpen_ = sideOpen_ = true;
  poll_->start();
}

void PairVirtualPort::closeEnd() {
  if (!endOpen_) return;
  ++generation_;
  poll_->stop();
  end_->close();
  endOpen_ = sideOpen_ = held_ = senyal_ = false;
  lines_ = {};
  dtrPulse_ = lost_ = newData_ = false;
  input_.clear();
}

// ---- looking at the end -------------------------------------------------------------------------

bool PairVirtualPort::look() const {
  if (!endOpen_ || lost_) return false;
  const auto lines = end_->lines();
  std::deque<std::uint8_t> arrived;
  if (!lines || !end_->read(arrived)) {
    lost_ = true;
    return false;
  }
  lines_ = *lines;
  dtrPulse_ = dtrPulse_ || lines->dtrChanged;
  if (sideOpen_ && !arrived.empty()) {  // with our side closed they are nobody's
    input_.insert(input_.end(), arrived.begin(), arrived.end());
    newData_ = true;
  }
  return true;
}

void PairVirtualPort::onTick() {
  if (control_->changing()) {
    control_->poll();  // its end opens our end, or leaves it closed
    if (!endOpen_ && !control_->changing()) poll_->stop();
    return;
  }
  const unsigned generation = generation_;
  if (!look()) {
    // The pair went under us (removed by hand, the driver gone): the host can no longer reach us.
    const bool told = held_ || senyal_;
    closeEnd();
    if (told && canvi_senyal) canvi_senyal();
    return;
  }
  const bool open = lines_.hostOpen;
  const bool dtr = open && lines_.hostDtr;
  bool changed = false;
  if (dtrPulse_ && !dtr && !senyal_) {
    // Raised and dropped between two ticks: a second start opens the port, raises its line and
    // closes at once. Tell the raise, as if it had been seen, then the drop.
    dtrPulse_ = false;
    senyal_ = true;
    if (canvi_senyal) canvi_senyal();
    if (generation != generation_) return;
    senyal_ = false;
    changed = true;
  }
  dtrPulse_ = false;
  if (open != held_) {
    held_ = open;
    changed = true;
    if (!open) {
      // What the departed host sent is a request nobody will take the answer of.
      input_.clear();
      newData_ = false;
      end_->purgeInput();
    }
  }
  if (dtr != senyal_) {
    senyal_ = dtr;
    changed = true;
  }
  if (changed && canvi_senyal) {
    canvi_senyal();
    if (generation != generation_) return;
  }
  if (newData_) {
    newData_ = false;
    if (!input_.empty() && onBytesArrived) onBytesArrived();
  }
}

// ---- bytes --------------------------------------------------------------------------------------

bool PairVirtualPort::port_obert_host() const { return look() && lines_.hostOpen; }

int PairVirtualPort::bytes_pendents() const {
  look();
  return static_cast<int>(input_.size());
}

void PairVirtualPort::preparar_port() {
  look();
  input_.clear();
  newData_ = false;
}

std::vector<std::uint8_t> PairVirtualPort::llegir_bytes(int n) {
  if (n > static_cast<int>(input_.size())) look();
  const auto count = static_cast<std::ptrdiff_t>(std::clamp(n, 0, static_cast<int>(input_.size())));
  std::vector<std::uint8_t> out(input_.begin(), input_.begin() + count);
  input_.erase(input_.begin(), input_.begin() + count);
  return out;
}

void PairVirtualPort::escriure_bytes(const std::vector<std::uint8_t>& bytes) {
  if (!endOpen_) throw VirtualPortError(text(texts::kVirtualPortMissing));
  if (!sideOpen_) throw VirtualPortError(text(texts::kVirtualPortClosed));
  if (!look()) throw VirtualPortError(text(texts::kVirtualPortMissing));
  // Nobody would read them now, and the next opener must not find them.
  if (!lines_.hostOpen) return;
  if (!end_->write(bytes)) throw VirtualPortError(text(texts::kVirtualPortNotRead));
}

}  // namespace kovrel
