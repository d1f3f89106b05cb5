#pragma once
// The virtual serial port offered to the lab's host program. The host opens it under its COM
// name as if it were a tracer; this program holds the other side, moves bytes one at a time and
// is told when the host opens, closes or configures its side. Operation names are the ones the
// rest of the program uses for them.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kovrel {

// A failing operation (port never created, link gone).
class VirtualPortError : public std::runtime_error {
 public:
  explicit VirtualPortError(const std::string& what, bool administrator = false)
      : std::runtime_error(what), administrator_(administrator) {}
  // The remedy is an administrator's: the port's driver is missing, or its consent was refused.
  bool administrator() const { return administrator_; }

 private:
  bool administrator_;
};

// How a creation ended: nothing, or why it failed.
using PortCreated = std::function<void(const std::optional<VirtualPortError>& failure)>;

class VirtualPort {
 public:
  virtual ~VirtualPort() = default;

  // Creates the port under `name` ("COM5") for other programs to open.
  virtual void crear_port(const std::string& name) = 0;
  // The port set-up's creation: as crear_port, but a port whose creation takes a while or needs
  // the operator's consent (a device installed with an administrator's rights) tells how it
  // ended later, from the event loop, and the window goes on meanwhile.
  virtual void createPort(const std::string& name, const PortCreated& done) {
    try {
      crear_port(name);
    } catch (const VirtualPortError& e) {
      done(e);
      return;
    }
    done(std::nullopt);
  }
  // Removes the port this program created.
  virtual void eliminar_port() = 0;
  // True while another program (the host) holds the port open.
  virtual bool port_obert_host() const = 0;
  // Received bytes waiting; 0 when none.
  virtual int bytes_pendents() const = 0;
  // Called once before each request is written.
  virtual void preparar_port() = 0;
  // Closes this program's side.
  virtual void tancar_port() = 0;
  // Opens this program's side on the named port; harmless when already open.
  virtual void obrir_port(const std::string& name) = 0;
  // Port option, set false after creating the port and when the program exits.
  virtual void set_opcio_port(bool on) = 0;
  // True when the port named by the last obrir_port already exists.
  virtual bool port_existeix() const = 0;
  // Removes and returns up to `n` waiting bytes, first byte first.
  virtual std::vector<std::uint8_t> llegir_bytes(int n) = 0;
  // Sends the bytes in order.
  virtual void escriure_bytes(const std::vector<std::uint8_t>& bytes) = 0;
  // True when the other side opened the port and raised its line (second-copy signal).
  virtual bool senyal_extern() const = 0;

  // Raised on the user-interface thread when the other side changes a line state.
  std::function<void()> canvi_senyal;
  // Raised on the user-interface thread when bytes have arrived (drives the host exchange).
  std::function<void()> onBytesArrived;
};

}  // namespace kovrel
