#include "scanner/serial_port_qt.h"

#include <QMetaObject>

#include "scanner/polled_serial_port.h"  // the line's text, read alike on every platform

namespace kovrel {

namespace {

QSerialPort::Parity parityOf(char letter) {
  switch (letter) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits stopBitsOf(SerialLine::Stop stop) {
  if (stop == SerialLine::Stop::Two) return QSerialPort::TwoStop;
  return stop == SerialLine::Stop::OneAndHalf ? QSerialPort::OneAndHalfStop : QSerialPort::OneStop;
}

}  // namespace

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
  const auto line = parseSerialLine(settings);
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
  const bool configured = port_.setBaudRate(line->baud) && port_.setParity(parityOf(line->parity)) &&
                          port_.setDataBits(static_cast<QSerialPort::DataBits>(line->dataBits)) &&
                          port_.setStopBits(stopBitsOf(line->stopBits)) &&
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
