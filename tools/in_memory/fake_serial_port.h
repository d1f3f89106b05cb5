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
  int open(int comNumber, std::string_view settings) override {
    calls.push_back("open " + std::to_string(comNumber) + " " + std::string(settings));
    if (openError != 0) return openError;
    open_ = true, openedCom = comNumber;
    return 0;
  }
  bool isOpen() const override { return open_; }
  void close() override { calls.emplace_back("close"), open_ = false; }
  int bytesWaiting() const override { return static_cast<int>(input_.size()); }
  void clearInput() override { calls.emplace_back("clear"), input_.clear(); }
  std::string read(int maxChars) override {
    std::string out;
    for (; maxChars > 0 && !input_.empty(); --maxChars) out.push_back(input_.front()), input_.pop_front();
    return out;
  }
  void setReceiveThreshold(int bytes) override {
    calls.push_back("threshold " + std::to_string(bytes)), threshold = bytes;
  }
  void setDtr(bool on) override { calls.push_back(on ? "dtr 1" : "dtr 0"); }

  // Appends bytes to the input and raises the receive notification when the threshold waits.
  void feed(std::string_view bytes) {
    feedSilently(bytes);
    if (open_ && onReceive && bytesWaiting() >= threshold) onReceive();
  }
  void feed(const std::vector<unsigned char>& bytes) {
    feed(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  // Appends bytes without raising any notification (a serial layer that coalesces events).
  void feedSilently(std::string_view bytes) { input_.insert(input_.end(), bytes.begin(), bytes.end()); }

  std::string deniedGroup() const override { return deniedGroupName; }
  int openError = 0;  // error number the next open returns (0: opens)
  int threshold = 0, openedCom = 0;
  std::string deniedGroupName;
  std::vector<std::string> calls;  // "open 3 57600,N,8,1", "clear", "close", "dtr 1", ...

 private:
  bool open_ = false;
  std::deque<char> input_;
};

}  // namespace kovrel::testing
