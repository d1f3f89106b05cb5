#pragma once
// The tracer link over QSerialPort. A COM number is turned into a device path by the injected
// resolver (the COM-name layer in the program), then opened and configured from the "57600,N,8,1"
// text. The receive notification follows the classic serial control: it fires while at least the
// threshold of bytes waits, so a handler that takes one unit per call is called again for the
// next one; a handler that takes nothing is not called again until more bytes come.

#include <QObject>
#include <QSerialPort>
#include <filesystem>
#include <functional>
#include <optional>

#include "scanner/serial_port.h"

namespace kovrel {

// The error number the operator messages go by for a failed open.
int openErrorNumber(QSerialPort::SerialPortError error);

// Gives the device path of COMn, or nothing when the system has no such port.
using ComResolver = std::function<std::optional<std::filesystem::path>(int comNumber)>;

// The group owning `device` when this user may not open it for lack of that group; empty when
// access is allowed or refused for another reason. Per platform.
std::string groupDenyingAccess(const std::filesystem::path& device);

class QtSerialPort : public QObject, public SerialPort {
 public:
  explicit QtSerialPort(ComResolver resolver, QObject* parent = nullptr);
  ~QtSerialPort() override;

  int open(int comNumber, std::string_view settings) override;
  bool isOpen() const override { return open_; }
  std::string deniedGroup() const override { return deniedGroup_; }
  void close() override;
  int bytesWaiting() const override;
  void clearInput() override;
  std::string read(int maxChars) override;
  void setReceiveThreshold(int bytes) override { threshold_ = bytes; }
  // A pty or an adapter without modem lines ignores it.
  void setDtr(bool on) override;

  // True once the device went away while open (unplugged adapter, closed pty): what had arrived
  // can still be read, nothing more comes.
  bool deviceLost() const { return lost_; }

 private:
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  void notifyIfDue();
  void scheduleNotify();
  int effectiveThreshold() const { return threshold_ > 0 ? threshold_ : 1; }

  ComResolver resolver_;
  QSerialPort port_;
  QByteArray leftover_;  // bytes kept from a lost device
  std::string deniedGroup_;
  int threshold_ = 0;
  bool open_ = false;
  bool lost_ = false;
  bool notifyQueued_ = false;
  unsigned generation_ = 0;  // bumps on every open/close, so late queued work is dropped
};

}  // namespace kovrel
