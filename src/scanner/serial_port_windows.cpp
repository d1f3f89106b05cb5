#include "scanner/serial_port_windows.h"

#include <windows.h>

#include "base/com_line_windows.h"

namespace kovrel {

namespace {

BYTE parityOf(char letter) {
  switch (letter) {
    case 'E':
      return EVENPARITY;
    case 'O':
      return ODDPARITY;
    case 'M':
      return MARKPARITY;
    case 'S':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

BYTE stopBitsOf(SerialLine::Stop stop) {
  if (stop == SerialLine::Stop::Two) return TWOSTOPBITS;
  return stop == SerialLine::Stop::OneAndHalf ? ONE5STOPBITS : ONESTOPBIT;
}

class Win32ComDevice : public ComDevice {
 public:
  ~Win32ComDevice() override { close(); }

  int open(int comNumber, const SerialLine& line) override {
    close();
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(comNumber);
    HANDLE h =
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kErrNoSuchPort;
      // A COM port is opened by one program at a time: a refusal means another one holds it.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return kErrPortInUse;
      return kErrPortOther;
    }
    if (!setUp(h, line)) {
      ::CloseHandle(h);
      return kErrPortOther;
    }
    handle_ = h;
    return 0;
  }

  void close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  bool takeWaiting(std::string& into) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(handle_, chunk, sizeof chunk, &got, nullptr)) return false;
      into.append(chunk, got);
      if (got < sizeof chunk) return true;
    }
  }

  bool clearError() override {
    DWORD errors = 0;
    return handle_ != INVALID_HANDLE_VALUE && ::ClearCommError(handle_, &errors, nullptr);
  }

  void purgeInput() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_RXABORT);
  }

  void setDtr(bool on) override {
    // Ports without modem lines (a pty under Wine) refuse it; the line means nothing there.
    if (handle_ != INVALID_HANDLE_VALUE) ::EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
  }

 private:
  // The tracer's line as the settings give it; DTR and RTS stay low until the port asks.
  static bool setUp(HANDLE h, const SerialLine& line) {
    ComLine com;
    com.baud = static_cast<unsigned long>(line.baud);
    com.dataBits = static_cast<unsigned char>(line.dataBits);
    com.parity = parityOf(line.parity);
    com.stopBits = stopBitsOf(line.stopBits);
    com.inQueue = 1 << 16;  // a read of 8262 bytes fits whole when the driver allows it
    com.outQueue = 1 << 12;
    return setUpComLine(h, com);
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<ComDevice> win32ComDevice() { return std::make_unique<Win32ComDevice>(); }

}  // namespace kovrel
