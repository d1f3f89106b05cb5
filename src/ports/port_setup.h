#pragma once
// The port set-up of a new PC or a changed one, in one pass: the ports window (`Puertos`) picks
// a free COM number from 1 to 6 for the host's virtual port and creates it, then, 5 s later, the
// port search (`registre_ports`) finds the tracer's USB serial port, asking for START on the
// tracer when two adapters are plugged; the window reports the outcome with a guidance code and
// its finishing step hands the main window back. The verdict lands in the shared state:
// `comport1` (tracer), `comport2` (virtual port) and `primera_instalacio` (10 = tracer accepted,
// 1 = set-up failed); the settings file gets them when the technician leaves or asks for the
// instructions.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "host/virtual_port.h"
#include "ports/com_registry.h"
#include "scanner/serial_port.h"

namespace kovrel {

// The ports window's controls that the set-up touches, under their object names.
enum class PortsControl { TextLbl, espereLbl, aceptarBtn, instruccionsBtn };

// The ports window as the set-up sees it. The Qt window implements it; tests use a fake.
class PortsWindow {
 public:
  virtual ~PortsWindow() = default;
  virtual void setText(PortsControl c, std::string_view text) = 0;
  virtual std::string text(PortsControl c) const = 0;
  virtual void setVisible(PortsControl c, bool on) = 0;
  virtual bool isVisible(PortsControl c) const = 0;
  virtual void setEnabled(PortsControl c, bool on) = 0;
  virtual bool isEnabled(PortsControl c) const = 0;
};

// The ports window's two timers.
enum class PortsTimer {
  Timer2,  // the tracer search, 5 s after the virtual port was created
  Timer3,  // the finishing step, 7 s after the tracer was accepted
};
int intervalMs(PortsTimer timer);

// Guidance codes (`error_instrucciones`): what the buttons do and which instructions are shown.
enum GuidanceCode : int {
  kWaitingForStart = 1,    // two candidates open: START on the tracer, then accept
  kNoTracerPort = 2,       // no USB serial adapter
  kDetectionFailed = 3,    // neither candidate sent "***"
  kNoFreeVirtualPort = 4,  // COM1 to COM6 all taken
  kTracerPortAbove15 = 5,  // the only adapter is above COM15
  kOneOfTwoAbove15 = 6,    // one of two adapters is above COM15
  // The virtual port needs an administrator: its driver is missing, or the consent was refused.
  kVirtualPortNeedsAdministrator = 7,
};

// The system's serial ports as (value name, "COMn") pairs.
using SerialCommListing = std::function<std::vector<SerialCommEntry>()>;

class PortSetup {
 public:
  struct Parts {
    SharedState& state;
    Window& main;  // the main window, handed back by the finishing step
    PortsWindow& window;
    VirtualPort& virtualPort;
    SerialPort& MSComm1;  // the START probe's two candidates
    SerialPort& MSComm2;
    Timer& Timer2;
    Timer& Timer3;
    SerialCommListing listing;
    // The label of the TCP or folder link in use (" TCP 192.168.1.20:5000"); empty, or unset,
    // while the virtual serial port is the host's link. Only the serial link has a port pair to
    // make, remove or explain: with another link the set-up finds the tracer's port alone.
    std::function<std::string()> otherLinkLabel;
  };
  struct Hooks {
    std::function<void()> saveSettings;              // the settings writer
    std::function<void(int code)> showInstructions;  // the instructions window, modally
    std::function<void()> closeWindows;              // the ports window goes
  };

  PortSetup(Parts parts, Hooks hooks);
  ~PortSetup();
  PortSetup(const PortSetup&) = delete;
  PortSetup& operator=(const PortSetup&) = delete;

  // --- The ports window ------------------------------------------------------------------------
  // Opening: checks the host, then provisions the virtual port and, once it stands (its creation
  // may wait for an administrator's consent while the window goes on), starts Timer2.
  void Form_Load();
  void Timer2_Timer();
  void USB_serial_detection();
  void aceptarBtn_Click();
  void instruccionsBtn_Click();
  // The finishing step: hands the main window back and closes the ports window.
  void Timer3_Timer();
  // The technician closed the window from its frame: the set-up ends as by the finishing step,
  // so the main window never stays locked.
  void closedByOperator();

  // --- The port search -------------------------------------------------------------------------
  // Free COM number from 1 to 6 for the virtual port; the one it still has counts as free.
  void registre_port_virtual();
  // The tracer's USB serial port.
  void registre_port_USB();
  // The START probe over the two candidates.
  void Timer1_Timer();

  int error_instrucciones() const { return error_instrucciones_; }
  const std::string& noportslliures() const { return noportslliures_; }

 private:
  // The search's error trap, by error number.
  void searchFailed(int errorNumber);
  // The virtual port's creation under COM `chosen` ended; `previous` is the number it had.
  void virtualPortMade(int chosen, const Dynamic& previous, std::optional<VirtualPortError> failure);
  void showButtons();
  void closeProbePorts();
  void removeVirtualPort();
  std::string otherLinkLabel() const { return p_.otherLinkLabel ? p_.otherLinkLabel() : std::string(); }
  bool finished_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // a creation's end finds the set-up gone

  Parts p_;
  Hooks hooks_;
  int error_instrucciones_ = 0;
  std::string noportslliures_;
  std::array<std::string, 101> tipus_port_{};  // device kind of COMn ("VCP"), index 1..100
  std::array<bool, 101> port_ocupat_{};        // COMn listed, index 1..100
};

}  // namespace kovrel
