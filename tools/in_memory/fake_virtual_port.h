#pragma once
// In-memory virtual port: the test plays the host (holds the port, sends bytes, raises its
// line), can make operations fail, and reads back what the program wrote and called.

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "host/virtual_port.h"

namespace kovrel::testing {

class FakeVirtualPort : public VirtualPort {
 public:
  void crear_port(const std::string& n) override { call("crear " + n), exists = true, name = n; }
  void eliminar_port() override { call("eliminar"), exists = false; }
  bool port_obert_host() const override { return check(), exists && hostHolds; }
  int bytes_pendents() const override { return check(), static_cast<int>(input_.size()); }
  void preparar_port() override { call("preparar"); }
  void tancar_port() override { call("tancar"), opened = false; }
  void obrir_port(const std::string& n) override { call("obrir " + n), opened = true, name = n; }
  void set_opcio_port(bool on) override { call(on ? "opcio 1" : "opcio 0"), opcio = on; }
  bool port_existeix() const override { return check(), exists; }
  std::vector<std::uint8_t> llegir_bytes(int n) override {
    check();
    std::vector<std::uint8_t> out;
    for (; n > 0 && !input_.empty(); --n) out.push_back(input_.front()), input_.pop_front();
    return out;
  }
  void escriure_bytes(const std::vector<std::uint8_t>& bytes) override {
    check(), written.insert(written.end(), bytes.begin(), bytes.end());
  }
  bool senyal_extern() const override { return externalSignal; }

  // The host sends bytes; onBytesArrived fires.
  void hostSends(const std::vector<std::uint8_t>& bytes) {
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    if (onBytesArrived) onBytesArrived();
  }
  void hostSends(std::string_view bytes) { hostSends(std::vector<std::uint8_t>(bytes.begin(), bytes.end())); }
  // The host raises or drops its line; canvi_senyal fires.
  void hostSignals(bool raised) {
    externalSignal = raised;
    if (canvi_senyal) canvi_senyal();
  }

  // Created; host's side open; this program's side open; every call throws (link gone).
  bool exists = false, hostHolds = false, opened = false, failAll = false;
  bool externalSignal = false, opcio = true;
  std::string name;
  std::vector<std::uint8_t> written;  // everything the program wrote, in order
  std::vector<std::string> calls;     // "crear COM5", "obrir COM5", "preparar", ...

 private:
  void check() const {
    if (failAll) throw VirtualPortError("virtual port gone");
  }
  void call(std::string what) { calls.push_back(std::move(what)), check(); }
  std::deque<std::uint8_t> input_;
};

}  // namespace kovrel::testing
