#include "links/serial_link.h"

#include "base/com_name.h"

namespace kovrel {
namespace {

// The port's failures become the link's, with the port's own words.
template <typename F>
auto onPort(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const VirtualPortError& e) {
    throw HostLinkError(e.what());
  }
}

}  // namespace

SerialLink::SerialLink(VirtualPort& port, const SharedState& state) : port_(port), s_(state) {
  port_.onBytesArrived = [this] {
    if (onBytesArrived) onBytesArrived();
  };
}

SerialLink::~SerialLink() { port_.onBytesArrived = nullptr; }

std::string SerialLink::label() const { return " COM " + comName(s_.comport2).substr(3); }

void SerialLink::open() {
  onPort([this] { port_.obrir_port("COM" + s_.comport2.toText()); });
}

bool SerialLink::present() const {
  return onPort([this] { return port_.port_obert_host(); });
}

void SerialLink::prepare() {
  onPort([this] { port_.preparar_port(); });
}

void SerialLink::write(const std::vector<std::uint8_t>& bytes) {
  onPort([&] { port_.escriure_bytes(bytes); });
}

int SerialLink::pending() const {
  return onPort([this] { return port_.bytes_pendents(); });
}

std::vector<std::uint8_t> SerialLink::read(int n) {
  return onPort([&] { return port_.llegir_bytes(n); });
}

}  // namespace kovrel
