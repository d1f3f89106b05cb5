#include "fake_serial_port.h"

namespace kovrel::testing {

int FakeSerialPort::open(int comNumber, std::string_view settings) {
  calls.push_back("open " + std::to_string(comNumber) + " " + std::string(settings));
  if (openError != 0) return openError;
  open_ = true;
  openedCom = comNumber;
  openedSettings = std::string(settings);
  return 0;
}

void FakeSerialPort::close() {
  calls.emplace_back("close");
  open_ = false;
}

void FakeSerialPort::clearInput() {
  calls.emplace_back("clear");
  input_.clear();
}

std::string FakeSerialPort::read(int maxChars) {
  std::string out;
  while (maxChars-- > 0 && !input_.empty()) {
    out.push_back(input_.front());
    input_.pop_front();
  }
  return out;
}

void FakeSerialPort::setReceiveThreshold(int bytes) {
  calls.push_back("threshold " + std::to_string(bytes));
  threshold = bytes;
}

void FakeSerialPort::setDtr(bool on) {
  calls.push_back(on ? "dtr 1" : "dtr 0");
  dtr = on;
}

void FakeSerialPort::feedSilently(std::string_view bytes) {
  input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void FakeSerialPort::feed(std::string_view bytes) {
  feedSilently(bytes);
  if (open_ && onReceive && bytesWaiting() >= threshold) onReceive();
}

void FakeSerialPort::feed(const std::vector<unsigned char>& bytes) {
  feed(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace kovrel::testing
