// The port search (`registre_ports`): the free COM number for the host's virtual port, the
// tracer's USB serial port, and the START probe that tells two USB adapters apart.
#include <charconv>
#include <exception>

#include "base/com_name.h"
#include "ports/port_setup.h"
#include "ports/port_texts.h"

namespace kovrel {
namespace {

// The search looks at COM1 to COM100, as far as the system's own list of names went.
constexpr int kHighestCom = 100;
// The tracer's program takes its port from COM1 to COM15 only.
constexpr int kHighestTracerCom = 15;
// Error number of a failure that is neither a missing nor a busy port.
constexpr int kErrUnknown = 0;

// The number in a port name's data ("COM12" → 12): the text from its 4th character on.
std::optional<long> comNumberOf(const std::string& data) {
  if (data.size() <= 3) return std::nullopt;
  const char* first = data.data() + 3;
  const char* last = data.data() + data.size();
  long n = 0;
  auto [end, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || end != last) return std::nullopt;
  return n;
}

// The device kind in a value name: the three characters after "\Device\" ("VCP").
std::string kindOf(const std::string& valueName) {
  return valueName.size() > 8 ? valueName.substr(8, 3) : std::string();
}

}  // namespace

void PortSetup::registre_port_virtual() {
  port_ocupat_.fill(false);
  noportslliures_.clear();
  std::vector<SerialCommEntry> entries;
  try {
    entries = p_.listing();
  } catch (const std::exception&) {
    entries.clear();  // nothing listed: every number is free
  }
  for (const auto& entry : entries) {
    const auto n = comNumberOf(entry.data);
    if (n && *n >= 1 && *n <= kHighestCom) port_ocupat_[static_cast<std::size_t>(*n)] = true;
  }
  // The virtual port still there (a port pair is let go of, not removed) does not take its own
  // number away: it is ours to keep.
  bool ours = false;
  try {
    ours = p_.virtualPort.port_existeix();
  } catch (const VirtualPortError&) {
    ours = false;
  }
  // The host programs the labs use only offer COM1 to COM6.
  for (int n = 1; n <= 6; ++n) {
    if (port_ocupat_[static_cast<std::size_t>(n)] && !(ours && p_.state.comport2 == n)) continue;
    p_.state.comport2 = n;
    p_.window.setText(PortsControl::TextLbl, comName(n));
    return;
  }
  noportslliures_ = texts::kNoFreePorts;
  p_.state.primera_instalacio = 1;
  p_.window.setVisible(PortsControl::espereLbl, false);
}

void PortSetup::registre_port_USB() {
  tipus_port_.fill({});
  std::vector<SerialCommEntry> entries;
  try {
    entries = p_.listing();
  } catch (const std::exception&) {
    searchFailed(kErrUnknown);
    return;
  }
  for (const auto& entry : entries) {
    const auto n = comNumberOf(entry.data);
    if (!n) {
      searchFailed(kErrUnknown);
      return;
    }
    // A Bluetooth or modem port numbered above 100 is no tracer: it must not end the search.
    if (*n < 1 || *n > kHighestCom) continue;
    tipus_port_[static_cast<std::size_t>(*n)] = kindOf(entry.valueName);
  }

  int first = 0, last = 0;
  for (int n = 1; n <= kHighestCom; ++n) {
    if (tipus_port_[static_cast<std::size_t>(n)] != "VCP") continue;
    if (first == 0) first = n;
    last = n;
  }
  SharedState& s = p_.state;
  PortsWindow& w = p_.window;
  s.comport1 = first;
  s.comport3 = last;

  if (first != 0 && last != 0 && first != last) {
    if (first > kHighestTracerCom || last > kHighestTracerCom) {
      const int above = first > kHighestTracerCom ? first : last;
      w.setText(PortsControl::TextLbl, std::string(texts::kTwoPortsOneAbove) + std::to_string(above) +
                                           std::string(texts::kTwoPortsOneAboveEnd));
      w.setVisible(PortsControl::espereLbl, false);
      s.primera_instalacio = 1;
      error_instrucciones_ = kOneOfTwoAbove15;
      showButtons();
      return;
    }
    // Both candidates listen; the one the tracer answers on after START is the tracer's.
    for (auto [port, number] : {std::pair<SerialPort*, int>{&p_.MSComm1, first}, {&p_.MSComm2, last}}) {
      if (port->isOpen()) port->close();
      if (const int error = port->open(number, kTracerLineSettings); error != 0) {
        searchFailed(error);
        return;
      }
      port->clearInput();
    }
    w.setText(PortsControl::TextLbl, texts::kTwoPortsPressStart);
    error_instrucciones_ = kWaitingForStart;
    w.setVisible(PortsControl::aceptarBtn, true);
    return;
  }

  if (first != 0) {
    s.primera_instalacio = 10;
    w.setText(PortsControl::TextLbl, std::string(texts::kTracerPortAt) + std::to_string(first));
    if (first > kHighestTracerCom) {
      w.setText(PortsControl::TextLbl, std::string(texts::kOnePortAbove) + std::to_string(first) +
                                           std::string(texts::kOnePortAboveEnd));
      s.primera_instalacio = 1;
      w.setVisible(PortsControl::espereLbl, false);
      error_instrucciones_ = kTracerPortAbove15;
      showButtons();
    } else {
      p_.Timer3.start();  // one adapter: it is the tracer's, no probe needed
    }
    return;
  }

  w.setText(PortsControl::TextLbl, texts::kNoTracerPort);
  removeVirtualPort();
  s.primera_instalacio = 1;
  w.setVisible(PortsControl::espereLbl, false);
  error_instrucciones_ = kNoTracerPort;
  showButtons();
}

void PortSetup::Timer1_Timer() {
  // "***" opens what the tracer sends on START; exactly three bytes waiting is not yet a read.
  auto answered = [](SerialPort& port) { return port.bytesWaiting() > 3 && port.read(3) == "***"; };
  bool found = answered(p_.MSComm1);
  if (!found && answered(p_.MSComm2)) {
    p_.state.comport1 = p_.state.comport3;
    found = true;
  }
  PortsWindow& w = p_.window;
  if (found) {
    p_.state.primera_instalacio = 10;
    w.setText(PortsControl::TextLbl,
              std::string(texts::kTracerPortAt) + comName(p_.state.comport1).substr(3));
    closeProbePorts();
    p_.Timer3.start();
    return;
  }
  w.setText(PortsControl::TextLbl, texts::kDetectionFailed);
  showButtons();
  w.setVisible(PortsControl::espereLbl, false);
  p_.state.primera_instalacio = 1;
  error_instrucciones_ = kDetectionFailed;
  closeProbePorts();
}

void PortSetup::searchFailed(int errorNumber) {
  PortsWindow& w = p_.window;
  if (errorNumber == kErrPortInUse) {
    // The candidate another program holds is not the tracer: the other one is.
    if (p_.MSComm1.isOpen()) {
      p_.MSComm1.close();
    } else {
      p_.state.comport1 = p_.state.comport3;
    }
    p_.state.primera_instalacio = 10;
    w.setText(PortsControl::TextLbl,
              std::string(texts::kTracerPortAt) + comName(p_.state.comport1).substr(3));
  } else {
    w.setText(PortsControl::TextLbl,
              errorNumber == kErrNoSuchPort ? texts::kRestartNeeded : texts::kUnknownError);
    removeVirtualPort();
  }
  p_.Timer3.start();
}

void PortSetup::closeProbePorts() {
  for (SerialPort* port : {&p_.MSComm1, &p_.MSComm2})
    if (port->isOpen()) port->close();
}

void PortSetup::removeVirtualPort() {
  if (!otherLinkLabel().empty()) return;  // a port pair the TCP or folder link never used
  try {
    p_.virtualPort.eliminar_port();
  } catch (const VirtualPortError&) {
    // Nothing to remove: the outcome the search wanted.
  }
}

}  // namespace kovrel
