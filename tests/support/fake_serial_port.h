#pragma once
// In-memory COM port: the test feeds bytes as the tracer would send them, can make opening fail
// with either error number, and reads back every call the program made.

#include <deque>
#include <string>
#include <vector>

#include "scanner/serial_port.h"

namespace kovrel::testing {

class FakeSerialPort : public SerialPort {
 public:
  int open(int comNumber, std::string_view settings) override;
  bool isOpen() const override { return open_; }
  void close() override;
  int bytesWaiting() const override { return static_cast<int>(input_.size()); }
  void clearInput() override;
  std::string read(int maxChars) override;
  void setReceiveThreshold(int bytes) override;
  void setDtr(bool on) override;

  // Appends bytes to the input and raises the receive notification when the threshold waits.
  void feed(std::string_view bytes);
  void feed(const std::vector<unsigned char>& bytes);
  // Appends bytes without raising any notification (a serial layer that coalesces events).
  void feedSilently(std::string_view bytes);

  std::string deniedGroup() const override { return deniedGroupName; }
  int openError = 0;  // error number the next open returns (0: opens)
  std::string deniedGroupName;
  int threshold = 0;
  bool dtr = false;
  int openedCom = 0;
  std::string openedSettings;
  std::vector<std::string> calls;  // "open 3 57600,N,8,1", "clear", "close", "dtr 1", ...

 private:
  bool open_ = false;
  std::deque<char> input_;
};

}  // namespace kovrel::testing
