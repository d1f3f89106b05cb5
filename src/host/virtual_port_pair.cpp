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
  checkName(name);
  if (takeOpenEnd(name)) return;
  std::optional<PortPair> pair;
  try {
    // A pair left by an earlier start (pairs are devices and stay) is this port already.
    pair = findPair(name);
    if (!pair) {
      // A cable port or another program's device under that name: the host would reach it, not us.
      if (control_->nameInUse(name)) throw VirtualPortError(text(name, texts::kVirtualPortInUse));
      closeEnd();
      pair = control_->create(name);
    }
  } catch (const PairControlError& e) {
    throw VirtualPortError(e.what());
  }
  openEnd(*pair);
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
    throw VirtualPortError(e.what());
  }
  // No such pair yet: nothing to open. port_existeix says so, and start-up creates it.
  if (pair) openEnd(*pair);
}

void PairVirtualPort::eliminar_port() {
  if (!pair_) return;
  closeEnd();  // a port held open may not be removed
  try {
    control_->remove(*pair_);
  } catch (const PairControlError& e) {
    throw VirtualPortError(e.what());  // still ours: a later eliminar_port tries again
  }
  pair_.reset();
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
