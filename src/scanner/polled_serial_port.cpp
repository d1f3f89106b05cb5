#include "scanner/polled_serial_port.h"

#include <algorithm>
#include <charconv>

namespace kovrel {

namespace {

std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<SerialLine> parseSerialLine(std::string_view text) {
  std::string_view fields[4];
  for (int i = 0; i < 4; ++i) {
    const auto comma = text.find(',');
    if ((comma == std::string_view::npos) != (i == 3)) return std::nullopt;
    fields[i] = text.substr(0, comma);
    while (!fields[i].empty() && fields[i].front() == ' ') fields[i].remove_prefix(1);
    while (!fields[i].empty() && fields[i].back() == ' ') fields[i].remove_suffix(1);
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
  SerialLine line;
  const auto baud = wholeNumber(fields[0]);
  const auto dataBits = wholeNumber(fields[2]);
  if (!baud || *baud <= 0 || !dataBits || *dataBits < 5 || *dataBits > 8) return std::nullopt;
  if (fields[1].size() != 1 || std::string_view("NEOMS").find(fields[1][0] & ~0x20) == std::string_view::npos)
    return std::nullopt;
  line.baud = *baud;
  line.parity = static_cast<char>(fields[1][0] & ~0x20);
  line.dataBits = *dataBits;
  if (fields[3] == "1") {
    line.stopBits = SerialLine::Stop::One;
  } else if (fields[3] == "1.5") {
    line.stopBits = SerialLine::Stop::OneAndHalf;
  } else if (fields[3] == "2") {
    line.stopBits = SerialLine::Stop::Two;
  } else {
    return std::nullopt;
  }
  return line;
}

PolledSerialPort::PolledSerialPort(std::unique_ptr<Timer> poll, std::unique_ptr<ComDevice> device)
    : poll_(std::move(poll)), device_(std::move(device)) {
  poll_->onTick = [this] { onPoll(); };
}

PolledSerialPort::~PolledSerialPort() {
  poll_->onTick = nullptr;
  close();
}

int PolledSerialPort::open(int comNumber, std::string_view settings) {
  close();
  const auto line = parseSerialLine(settings);
  if (!line) return kErrPortOther;
  const int error = device_->open(comNumber, *line);
  if (error != 0) return error;
  ++generation_;
  open_ = true;
  poll_->start();
  return 0;
}

void PolledSerialPort::close() {
  poll_->stop();
  if (open_) device_->close();
  ++generation_;
  open_ = false;
  lost_ = false;
  fresh_ = false;
  buffer_.clear();
}

bool PolledSerialPort::pull() const {
  if (!open_ || lost_) return false;
  const std::size_t before = buffer_.size();
  // A line error stops reads until it is cleared. A device that went away fails the clearing,
  // or (a pulled USB adapter, on some drivers) clears and still fails the read: lost either way,
  // rather than asked again and again on the window's thread.
  if (!device_->takeWaiting(buffer_) && (!device_->clearError() || !device_->takeWaiting(buffer_)))
    lost_ = true;
  if (buffer_.size() > before) fresh_ = true;
  return buffer_.size() > before;
}

int PolledSerialPort::bytesWaiting() const {
  pull();
  return static_cast<int>(buffer_.size());
}

void PolledSerialPort::clearInput() {
  if (open_ && !lost_) device_->purgeInput();
  taken_ += buffer_.size();
  buffer_.clear();
}

std::string PolledSerialPort::read(int maxChars) {
  pull();
  const std::size_t n = maxChars > 0 ? std::min(buffer_.size(), static_cast<std::size_t>(maxChars)) : 0;
  std::string taken = buffer_.substr(0, n);
  buffer_.erase(0, n);
  taken_ += n;
  return taken;
}

void PolledSerialPort::setDtr(bool on) {
  if (open_ && !lost_) device_->setDtr(on);
}

void PolledSerialPort::onPoll() {
  pull();
  if (lost_) poll_->stop();
  // Bytes the handler left waiting are not announced again until more come (also bytes that
  // came in through a read or a count between two ticks).
  if (!fresh_) return;
  fresh_ = false;
  const unsigned generation = generation_;
  // The listener is called while the threshold is met and it keeps taking bytes, so a handler
  // that takes one unit per call gets every unit of this tick.
  while (onReceive && buffer_.size() >= threshold()) {
    const std::size_t takenBefore = taken_;
    onReceive();
    if (generation != generation_ || !open_) return;  // the handler closed or reopened
    if (taken_ == takenBefore) break;
  }
}

}  // namespace kovrel
