#include "scanner/serial_port_qt.h"

#include <QMetaObject>
#include <charconv>

namespace kovrel {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::optional<int> wholeNumber(std::string_view s) {
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text) {
  std::string_view fields[4];
  for (int i = 0; i < 4; ++i) {
    auto comma = text.find(',');
    if ((comma == std::string_view::npos) != (i == 3)) return std::nullopt;  // exactly four fields
    fields[i] = trimmed(text.substr(0, comma));
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
  LineSettings line;
  auto baud = wholeNumber(fields[0]);
  if (!baud || *baud <= 0) return std::nullopt;
  line.baud = *baud;

  if (fields[1].size() != 1) return std::nullopt;
  switch (fields[1][0]) {
    case 'N':
    case 'n':
      line.parity = QSerialPort::NoParity;
      break;
    case 'E':
    case 'e':
      line.parity = QSerialPort::EvenParity;
      break;
    case 'O':
    case 'o':
      line.parity = QSerialPort::OddParity;
      break;
    case 'M':
    case 'm':
      line.parity = QSerialPort::MarkParity;
      break;
    case 'S':
    case 's':
      line.parity = QSerialPort::SpaceParity;
      break;
    default:
      return std::nullopt;
  }

  auto bits = wholeNumber(fields[2]);
  if (!bits || *bits < 5 || *bits > 8) return std::nullopt;
  line.dataBits = static_cast<QSerialPort::DataBits>(*bits);

  if (fields[3] == "1") {
    line.stopBits = QSerialPort::OneStop;
  } else if (fields[3] == "1.5") {
    line.stopBits = QSerialPort::OneAndHalfStop;
  } else if (fields[3] == "2") {
    line.stopBits = QSerialPort::TwoStop;
  } else {
    return std::nullopt;
  }
  return line;
}

int openErrorNumber(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
      return 0;
    case QSerialPort::DeviceNotFoundError:
      return kErrNoSuchPort;
    // Qt refuses a device that another program (or another port object) has locked.
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
      return kErrPortInUse;
    default:
      return kErrPortOther;
  }
}

QtSerialPort::QtSerialPort(ComResolver resolver, QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() {
  // No notification may reach a half-destroyed owner.
  port_.disconnect(this);
  onReceive = nullptr;
  close();
}

int QtSerialPort::open(int comNumber, std::string_view settings) {
  close();
  const auto line = parseLineSettings(settings);
  if (!line) return kErrPortOther;
  // A name that leads nowhere (an unplugged adapter, a link to a pty that is gone) is no port;
  // a path that vanished after resolving is reported by Qt as not found, which maps the same.
  const auto path = resolver_ ? resolver_(comNumber) : std::nullopt;
  if (!path) return kErrNoSuchPort;

  port_.setPortName(QString::fromStdString(path->string()));
  if (!port_.open(QIODevice::ReadWrite)) {
    int error = openErrorNumber(port_.error());
    // Qt reports a lock held by another program and a device the user may not open alike; the
    // second is mended by the group membership, so the operator is told which group.
    deniedGroup_ = port_.error() == QSerialPort::PermissionError ? groupDenyingAccess(*path) : std::string();
    if (!deniedGroup_.empty()) error = kErrPortNoPermission;
    port_.clearError();
    return error;
  }
  const bool configured = port_.setBaudRate(line->baud) && port_.setParity(line->parity) &&
                          port_.setDataBits(line->dataBits) && port_.setStopBits(line->stopBits) &&
                          port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!configured) {
    port_.close();
    port_.clearError();
    return kErrPortOther;
  }
  ++generation_;
  open_ = true;
  return 0;
}

void QtSerialPort::close() {
  ++generation_;
  if (port_.isOpen()) port_.close();
  port_.clearError();
  open_ = false;
  lost_ = false;
  leftover_.clear();
}

int QtSerialPort::bytesWaiting() const {
  qint64 n = leftover_.size();
  if (port_.isOpen()) n += port_.bytesAvailable();
  return static_cast<int>(n);
}

void QtSerialPort::clearInput() {
  leftover_.clear();
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

std::string QtSerialPort::read(int maxChars) {
  std::string out;
  if (maxChars <= 0) return out;
  const auto fromLeftover = std::min<qsizetype>(maxChars, leftover_.size());
  out.assign(leftover_.constData(), static_cast<std::size_t>(fromLeftover));
  leftover_.remove(0, fromLeftover);
  if (port_.isOpen() && static_cast<int>(out.size()) < maxChars) {
    const QByteArray more = port_.read(maxChars - static_cast<int>(out.size()));
    out.append(more.constData(), static_cast<std::size_t>(more.size()));
  }
  return out;
}

void QtSerialPort::setDtr(bool on) {
  if (!port_.isOpen()) return;
  port_.setDataTerminalReady(on);
  port_.clearError();
}

void QtSerialPort::onReadyRead() { notifyIfDue(); }

void QtSerialPort::notifyIfDue() {
  // A lost device still hands over what had arrived before it went.
  if (!open_ || !onReceive) return;
  const int before = bytesWaiting();
  if (before < effectiveThreshold()) return;
  const unsigned generation = generation_;
  onReceive();
  if (generation != generation_ || !open_) return;  // the handler closed or reopened
  const int after = bytesWaiting();
  // Bytes taken and enough left: call again, after the other events waiting, as the serial
  // control keeps firing while its threshold is met.
  if (after < before && after >= effectiveThreshold()) scheduleNotify();
}

void QtSerialPort::scheduleNotify() {
  if (notifyQueued_) return;
  notifyQueued_ = true;
  const unsigned generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation] {
        notifyQueued_ = false;
        if (generation == generation_) notifyIfDue();
      },
      Qt::QueuedConnection);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  // An unplugged adapter or a vanished pty is reported as a resource error or, when the line was
  // hung up, as a read error; either way no more bytes will come on this descriptor.
  const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
  if (!gone || !open_ || lost_) return;
  // Keep what had arrived and stop watching the dead descriptor (Qt would report the same error
  // again on every turn of the event loop).
  lost_ = true;
  leftover_ += port_.readAll();
  port_.close();
  // The tracer may have sent its last bytes just before the line went: they still make a read.
  scheduleNotify();
}

}  // namespace kovrel
