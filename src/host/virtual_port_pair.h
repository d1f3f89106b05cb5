#pragma once
// The host's virtual port on a null-modem port pair (Windows). The host opens the pair's host
// end under its COM name; this program holds the other end and looks at it on every tick of a
// window timer, on the user-interface thread like everything else:
//  - the host holding the port: our DCD, wired to "the other end is open";
//  - the line signal (`senyal_extern`): our DSR, wired to the other end's DTR, which a host
//    raises when it opens the port and a second start of this program raises to call us back.
//    The end reports changes that came and went between two ticks too, so a second start that
//    opens, raises and closes at once is still seen;
//  - bytes: whatever arrived, taken without waiting; `onBytesArrived` at the next tick;
//  - stale bytes: what a departed host sent and nobody answered is dropped, and nothing is
//    written while nobody holds the port.
// The pair outlives the program (it is a device): a later start finds it by its host end's name
// and needs no administrator rights. Making it, or moving it to another COM name, needs an
// administrator's consent for one run of the driver's control program: only the port set-up
// asks for it (createPort), and the window goes on while it runs; the tick tells how it ended.
// Nothing removes a pair: a set-up that lets go of it (eliminar_port) takes it again or moves it.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/timer.h"
#include "host/pair_control.h"
#include "host/virtual_port.h"

namespace kovrel {

// The host's lines as our end sees them.
struct PairLines {
  bool hostOpen = false;  // the host holds its end
  bool hostDtr = false;   // the host's DTR is raised
  // Whether DTR changed since the last look, even when it is back where it was.
  bool dtrChanged = false;
};

// This program's end of the pair.
class PairEnd {
 public:
  virtual ~PairEnd() = default;
  // Opens the end by its device name, set up as the host exchange needs (57600,N,8,1, no flow
  // control, DTR raised); false when it cannot be opened.
  virtual bool open(const std::string& name) = 0;
  virtual void close() = 0;
  // The lines now; nothing when the end is lost (its pair removed under us).
  virtual std::optional<PairLines> lines() = 0;
  // Appends what has arrived, without waiting; false when the end is lost.
  virtual bool read(std::deque<std::uint8_t>& into) = 0;
  // Writes every byte, waiting a moment at most for a host that has stopped reading; false when
  // they did not all go.
  virtual bool write(const std::vector<std::uint8_t>& bytes) = 0;
  // Drops what has arrived and not been read.
  virtual void purgeInput() = 0;
};

class PairVirtualPort : public VirtualPort {
 public:
  PairVirtualPort(std::unique_ptr<PairControl> control, std::unique_ptr<PairEnd> end,
                  std::unique_ptr<Timer> poll);
  ~PairVirtualPort() override;  // closes our end; the pair stays for the next start

  // Opens our end of an existing pair; a missing one is the port set-up's to make.
  void crear_port(const std::string& name) override;
  void createPort(const std::string& name, const PortCreated& done) override;
  void eliminar_port() override;
  bool port_obert_host() const override;
  int bytes_pendents() const override;
  void preparar_port() override;
  void tancar_port() override;
  void obrir_port(const std::string& name) override;
  void set_opcio_port(bool on) override { opcio_ = on; }
  bool port_existeix() const override;
  std::vector<std::uint8_t> llegir_bytes(int n) override;
  void escriure_bytes(const std::vector<std::uint8_t>& bytes) override;
  bool senyal_extern() const override { return senyal_; }

  bool opcio_port() const { return opcio_; }

 private:
  std::optional<PortPair> findPair(const std::string& name);
  // Our end already open on the pair of `name`: this side takes bytes again; false otherwise.
  bool takeOpenEnd(const std::string& name);
  void changeEnded(const std::string& name, const std::optional<PortPair>& old,
                   const std::optional<PairControlError>& failure, const PortCreated& done);
  void openEnd(const PortPair& pair);
  void closeEnd();
  // Looks at the end: lines and bytes into the members below. False when the end is lost.
  bool look() const;
  void onTick();

  std::unique_ptr<PairControl> control_;
  std::unique_ptr<PairEnd> end_;
  std::unique_ptr<Timer> poll_;

  std::optional<PortPair> pair_;  // the pair of the port this program opened or created
  std::string openName_;          // name of the last obrir_port
  bool endOpen_ = false;
  bool sideOpen_ = false;
  bool opcio_ = true;
  // As last told through canvi_senyal.
  bool held_ = false;
  bool senyal_ = false;
  unsigned generation_ = 0;  // bumps when the end closes, so a handler's close stops the tick

  // Filled by looks that also happen inside const queries (the exchange's busy loops see the
  // host's bytes without going back to the event loop); told at the next tick.
  mutable PairLines lines_;
  mutable bool dtrPulse_ = false;
  mutable bool lost_ = false;
  mutable std::deque<std::uint8_t> input_;
  mutable bool newData_ = false;
};

}  // namespace kovrel
