#pragma once
// In-memory virtual port: the test plays the host (holds the port, sends bytes, raises its
// line), can make operations fail, and reads back what the program wrote and called.

#include <deque>
#include <string>
#include <vector>

#include "host/virtual_port.h"

namespace kovrel::testing {

class FakeVirtualPort : public VirtualPort {
 public:
  void crear_port(const std::string& name) override;
  void eliminar_port() override;
  bool port_obert_host() const override;
  int bytes_pendents() const override;
  void preparar_port() override;
  void tancar_port() override;
  void obrir_port(const std::string& name) override;
  void set_opcio_port(bool on) override;
  bool port_existeix() const override;
  std::vector<std::uint8_t> llegir_bytes(int n) override;
  void escriure_bytes(const std::vector<std::uint8_t>& bytes) override;
  bool senyal_extern() const override { return externalSignal; }

  // The host sends bytes; onBytesArrived fires.
  void hostSends(const std::vector<std::uint8_t>& bytes);
  void hostSends(std::string_view bytes);
  // The host raises or drops its line; canvi_senyal fires.
  void hostSignals(bool raised);

  bool exists = false;     // the port has been created
  bool hostHolds = false;  // the host holds its side open
  bool externalSignal = false;
  bool opened = false;  // this program's side is open
  bool opcio = true;
  bool failAll = false;  // every operation throws VirtualPortError (link gone)
  std::string name;
  std::vector<std::uint8_t> written;  // everything the program wrote, in order
  std::vector<std::string> calls;     // "crear COM5", "obrir COM5", "preparar", ...

 private:
  void check() const;
  std::deque<std::uint8_t> input_;
};

}  // namespace kovrel::testing
