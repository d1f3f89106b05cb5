#pragma once
// The virtual serial port as the host's link: the port and its bytes exactly as before, under
// the COM name of `comport2`. Setting up and removing the port pair stays the port set-up's own
// step; this only carries the exchange.

#include "base/shared_state.h"
#include "host/host_link.h"
#include "host/virtual_port.h"

namespace kovrel {

class SerialLink : public HostLink {
 public:
  SerialLink(VirtualPort& port, const SharedState& state);
  ~SerialLink() override;
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  std::string label() const override;
  void open() override;
  bool present() const override;
  void prepare() override;
  void write(const std::vector<std::uint8_t>& bytes) override;
  int pending() const override;
  std::vector<std::uint8_t> read(int n) override;
  // A port has no connection to lose: a host that lets go mid-exchange is a silent host.
  bool lost() const override { return false; }

 private:
  VirtualPort& port_;
  const SharedState& s_;
};

}  // namespace kovrel
