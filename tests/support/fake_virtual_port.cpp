#include "fake_virtual_port.h"

namespace kovrel::testing {

void FakeVirtualPort::check() const {
  if (failAll) throw VirtualPortError("virtual port gone");
}

void FakeVirtualPort::crear_port(const std::string& n) {
  calls.push_back("crear " + n);
  check();
  exists = true;
  name = n;
}

void FakeVirtualPort::eliminar_port() {
  calls.emplace_back("eliminar");
  check();
  exists = false;
}

bool FakeVirtualPort::port_obert_host() const {
  check();
  return exists && hostHolds;
}

int FakeVirtualPort::bytes_pendents() const {
  check();
  return static_cast<int>(input_.size());
}

void FakeVirtualPort::preparar_port() {
  calls.emplace_back("preparar");
  check();
}

void FakeVirtualPort::tancar_port() {
  calls.emplace_back("tancar");
  check();
  opened = false;
}

void FakeVirtualPort::obrir_port(const std::string& n) {
  calls.push_back("obrir " + n);
  check();
  opened = true;
  name = n;
}

void FakeVirtualPort::set_opcio_port(bool on) {
  calls.push_back(on ? "opcio 1" : "opcio 0");
  check();
  opcio = on;
}

bool FakeVirtualPort::port_existeix() const {
  check();
  return exists;
}

std::vector<std::uint8_t> FakeVirtualPort::llegir_bytes(int n) {
  check();
  std::vector<std::uint8_t> out;
  while (n-- > 0 && !input_.empty()) {
    out.push_back(input_.front());
    input_.pop_front();
  }
  return out;
}

void FakeVirtualPort::escriure_bytes(const std::vector<std::uint8_t>& bytes) {
  check();
  written.insert(written.end(), bytes.begin(), bytes.end());
}

void FakeVirtualPort::hostSends(const std::vector<std::uint8_t>& bytes) {
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  if (onBytesArrived) onBytesArrived();
}

void FakeVirtualPort::hostSends(std::string_view bytes) {
  hostSends(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void FakeVirtualPort::hostSignals(bool raised) {
  externalSignal = raised;
  if (canvi_senyal) canvi_senyal();
}

}  // namespace kovrel::testing
