#pragma once
// The trace exchange over a TCP connection, byte for byte the one on the virtual port. Kovrel
// either connects to the host (and reconnects on its own, each pause longer than the last) or
// waits for the host to connect (from this machine only, unless the technician listed other
// addresses). Only the exchange's bytes ever come from a peer, and every count is bounded.
//
// Waiting for the host, several peers may be connected at once (a host that reconnected while
// its old connection is still half-open, a stray program on the machine): the request goes to
// each and the first to acknowledge is the host for that exchange; the others never heard of it.
// A peer that speaks before it is asked, sends a line without end, floods, or stays silent
// through a request is dropped, so neither the window nor the connected host waits on it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/timer.h"
#include "host/host_link.h"

namespace kovrel {

// The sockets under the link: Qt Network in the program, a fake in tests. Events come back on
// the user-interface thread through the callbacks, which the link sets.
class NetPeers {
 public:
  virtual ~NetPeers() = default;
  // Starts one connection attempt; it ends in onConnected or onConnectFailed.
  virtual void connectTo(const std::string& address, int port) = 0;
  virtual void send(int peer, const std::vector<std::uint8_t>& bytes) = 0;
  // Closes the connection at once; no more events come for it.
  virtual void drop(int peer) = 0;

  std::function<void(int peer, const std::string& address)> onConnected;
  std::function<void()> onConnectFailed;
  std::function<void(int peer, const std::uint8_t* data, std::size_t size)> onBytes;
  std::function<void(int peer)> onGone;
};

class TcpLink : public HostLink {
 public:
  enum class Mode { Connect, Listen };

  struct Limits {
    std::size_t peers = 8;            // connections held at once while listening
    std::size_t lineBytes = 4096;     // bytes of one host record
    std::size_t queuedBytes = 65536;  // received and not yet read by the exchange
    std::size_t strayBytes = 256;     // a proven host's bytes outside an exchange
    int firstPauseTicks = 1;          // reconnect pauses, in ticks of the retry timer
    int longestPauseTicks = 32;
  };

  // `retry` ticks at a fixed short interval (250 ms in the program) while a reconnect waits.
  TcpLink(Mode mode, std::string address, int port, std::vector<std::string> allowed, NetPeers& net,
          Timer& retry, Limits limits);
  TcpLink(Mode mode, std::string address, int port, std::vector<std::string> allowed, NetPeers& net,
          Timer& retry)
      : TcpLink(mode, std::move(address), port, std::move(allowed), net, retry, Limits{}) {}
  ~TcpLink() override;
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  std::string label() const override;
  void open() override {}
  bool present() const override { return !peers_.empty(); }
  void prepare() override;
  void write(const std::vector<std::uint8_t>& bytes) override;
  int pending() const override { return static_cast<int>(input_.size()); }
  std::vector<std::uint8_t> read(int n) override;
  bool lost() const override { return lost_; }

  // True when `address` may connect to a listening Kovrel.
  bool allowedPeer(const std::string& address) const;
  std::size_t peerCount() const { return peers_.size(); }
  // Ticks the next reconnect waits (tests watch the pause grow).
  int pauseTicks() const { return pauseTicks_; }

 private:
  struct Peer {
    int id = 0;
    bool asked = false;   // the request of the running exchange went to it
    bool proven = false;  // it acknowledged a request once: it is a host
    std::size_t lineBytes = 0;
    std::size_t strayBytes = 0;
  };

  void connected(int peer, const std::string& address);
  void bytes(int peer, const std::uint8_t* data, std::size_t size);
  void gone(int peer);
  void dropPeer(int peer);
  void scheduleReconnect();
  void retryTick();
  Peer* find(int peer);
  void labelChanged();

  Mode mode_;
  std::string address_;
  int port_;
  std::vector<std::string> allowed_;
  NetPeers& net_;
  Timer& retry_;
  Limits limits_;
  std::vector<Peer> peers_;  // oldest first
  std::optional<int> host_;  // the peer the running exchange is with, once known
  bool exchange_ = false;    // a request went out since the last prepare
  bool lost_ = false;
  bool delivered_ = false;  // the exchange has had bytes from its host
  std::deque<std::uint8_t> input_;
  int pauseTicks_;
  int ticksLeft_ = 0;
};

}  // namespace kovrel
