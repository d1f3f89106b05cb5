#include "host/virtual_port_pair_windows.h"

namespace kovrel {

namespace {

// Until the port-pair adapter is in place: the port cannot be made or opened, so the program
// tells the operator the host cannot be reached, and nothing else pretends to work.
class MissingPairVirtualPort : public VirtualPort {
 public:
  explicit MissingPairVirtualPort(std::unique_ptr<Timer> poll) : poll_(std::move(poll)) {}

  void crear_port(const std::string&) override { throw VirtualPortError(kMissing); }
  void eliminar_port() override {}
  bool port_obert_host() const override { return false; }
  int bytes_pendents() const override { return 0; }
  void preparar_port() override {}
  void tancar_port() override {}
  void obrir_port(const std::string&) override { throw VirtualPortError(kMissing); }
  void set_opcio_port(bool) override {}
  bool port_existeix() const override { return false; }
  std::vector<std::uint8_t> llegir_bytes(int) override { return {}; }
  void escriure_bytes(const std::vector<std::uint8_t>&) override {}
  bool senyal_extern() const override { return false; }

 private:
  static constexpr const char* kMissing = "controlador de pares de puertos no instalado";
  std::unique_ptr<Timer> poll_;
};

}  // namespace

std::unique_ptr<VirtualPort> makePairVirtualPort(std::unique_ptr<Timer> poll) {
  return std::make_unique<MissingPairVirtualPort>(std::move(poll));
}

}  // namespace kovrel
