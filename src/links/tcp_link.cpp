#include "links/tcp_link.h"

#include <algorithm>
#include <utility>

#include "host/oma_framing.h"
#include "links/link_choice.h"

namespace kovrel {
namespace {

bool endsRecord(std::uint8_t b) {
  return b == oma::FS || b == oma::LF || b == oma::CR || b == oma::RS || b == oma::GS;
}

}  // namespace

TcpLink::TcpLink(Mode mode, std::string address, int port, std::vector<std::string> allowed, NetPeers& net,
                 Timer& retry, Limits limits)
    : mode_(mode),
      address_(std::move(address)),
      port_(port),
      allowed_(std::move(allowed)),
      net_(net),
      retry_(retry),
      limits_(limits),
      pauseTicks_(limits.firstPauseTicks) {
  net_.onConnected = [this](int peer, const std::string& from) { connected(peer, from); };
  net_.onConnectFailed = [this] { scheduleReconnect(); };
  net_.onBytes = [this](int peer, const std::uint8_t* data, std::size_t size) { bytes(peer, data, size); };
  net_.onGone = [this](int peer) { gone(peer); };
  retry_.onTick = [this] { retryTick(); };
  if (mode_ == Mode::Connect) net_.connectTo(address_, port_);
}

TcpLink::~TcpLink() {
  retry_.stop();
  retry_.onTick = nullptr;
  net_.onConnected = nullptr, net_.onConnectFailed = nullptr, net_.onBytes = nullptr, net_.onGone = nullptr;
  for (const Peer& p : peers_) net_.drop(p.id);
}

std::string TcpLink::label() const {
  const std::string where =
      mode_ == Mode::Connect ? addressAndPort(address_, port_) : ":" + std::to_string(port_);
  return " TCP " + where + (present() ? "" : " sin conexión");
}

bool TcpLink::allowedPeer(const std::string& address) const {
  if (address.rfind("127.", 0) == 0 || address == "::1") return true;
  return std::find(allowed_.begin(), allowed_.end(), address) != allowed_.end();
}

TcpLink::Peer* TcpLink::find(int peer) {
  auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const Peer& p) { return p.id == peer; });
  return it == peers_.end() ? nullptr : &*it;
}

void TcpLink::labelChanged() {
  if (onLabelChanged) onLabelChanged();
}

void TcpLink::connected(int peer, const std::string& address) {
  if (mode_ == Mode::Connect) {
    pauseTicks_ = limits_.firstPauseTicks;
    peers_.assign(1, Peer{peer, false, true, 0, 0});
    labelChanged();
    return;
  }
  if (!allowedPeer(address)) {
    net_.drop(peer);
    return;
  }
  if (peers_.size() >= limits_.peers) {
    // Room for the newcomer: the oldest peer that never proved to be a host goes first.
    auto victim = std::find_if(peers_.begin(), peers_.end(),
                               [this](const Peer& p) { return !p.proven && host_ != p.id; });
    if (victim == peers_.end())
      victim = std::find_if(peers_.begin(), peers_.end(), [this](const Peer& p) { return host_ != p.id; });
    if (victim == peers_.end()) {
      net_.drop(peer);
      return;
    }
    dropPeer(victim->id);
  }
  peers_.push_back(Peer{peer, false, false, 0, 0});
  labelChanged();
}

void TcpLink::bytes(int peer, const std::uint8_t* data, std::size_t size) {
  Peer* p = find(peer);
  if (p == nullptr || size == 0) return;
  if (!exchange_ || !p->asked) {
    // Nobody asked: a host does not speak unasked, so a stranger that does is dropped; a known
    // host's stray bytes are let go, up to a bound.
    p->strayBytes += size;
    if (!p->proven || p->strayBytes > limits_.strayBytes) dropPeer(peer);
    return;
  }
  if (!host_) {
    // Several peers got the request: the first to acknowledge (or refuse) is the host.
    if (data[0] != oma::ACK && data[0] != oma::NAK) {
      dropPeer(peer);
      return;
    }
    host_ = peer;
  }
  if (*host_ != peer) {
    dropPeer(peer);
    return;
  }
  for (std::size_t i = 0; i < size; ++i) {
    p->lineBytes = endsRecord(data[i]) ? 0 : p->lineBytes + 1;
    if (p->lineBytes > limits_.lineBytes) {
      dropPeer(peer);
      return;
    }
  }
  if (input_.size() + size > limits_.queuedBytes) {
    dropPeer(peer);
    return;
  }
  p->proven = true;
  delivered_ = true;
  input_.insert(input_.end(), data, data + size);
  if (onBytesArrived) onBytesArrived();
}

void TcpLink::gone(int peer) {
  auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const Peer& p) { return p.id == peer; });
  if (it == peers_.end()) return;
  const bool asked = it->asked;
  peers_.erase(it);
  if (exchange_ && asked && host_ == peer && !delivered_)
    host_.reset();  // chosen, but gone before a byte counted
  if (exchange_ && asked && !lost_) {
    const bool anyAsked = std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) { return p.asked; });
    if (host_ == peer || (!host_ && !anyAsked)) {
      lost_ = true;
      if (onBytesArrived) onBytesArrived();  // the exchange hears of it now, not at its time limit
    }
  }
  if (host_ == peer) host_.reset();
  if (mode_ == Mode::Connect) scheduleReconnect();
  labelChanged();
}

void TcpLink::dropPeer(int peer) {
  net_.drop(peer);
  gone(peer);
}

void TcpLink::prepare() {
  // Peers the last request went to that never answered it are not hosts: dropped.
  std::vector<int> silent;
  for (const Peer& p : peers_)
    if (exchange_ && p.asked && !p.proven) silent.push_back(p.id);
  for (int id : silent) dropPeer(id);
  input_.clear();
  lost_ = false;
  delivered_ = false;
  exchange_ = true;
  host_.reset();
  if (peers_.size() == 1) host_ = peers_.front().id;
  for (Peer& p : peers_) p.asked = true, p.lineBytes = 0, p.strayBytes = 0;
}

void TcpLink::write(const std::vector<std::uint8_t>& bytes) {
  if (lost_ || peers_.empty()) throw HostLinkError("no host connected");
  for (const Peer& p : peers_)
    if (host_ ? p.id == *host_ : p.asked) net_.send(p.id, bytes);
}

std::vector<std::uint8_t> TcpLink::read(int n) {
  std::vector<std::uint8_t> out;
  for (; n > 0 && !input_.empty(); --n) out.push_back(input_.front()), input_.pop_front();
  return out;
}

void TcpLink::scheduleReconnect() {
  ticksLeft_ = pauseTicks_;
  pauseTicks_ = std::min(pauseTicks_ * 2, limits_.longestPauseTicks);
  retry_.start();
}

void TcpLink::retryTick() {
  if (--ticksLeft_ > 0) return;
  retry_.stop();
  net_.connectTo(address_, port_);
}

}  // namespace kovrel
