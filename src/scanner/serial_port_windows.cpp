#include "scanner/serial_port_windows.h"

#include <windows.h>

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
  static bool setUp(HANDLE h, const SerialLine& line) {
    ::SetupComm(h, 1 << 16, 1 << 12);  // a larger queue when the driver allows it
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(line.baud);
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    dcb.Parity = parityOf(line.parity);
    dcb.StopBits = stopBitsOf(line.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != 'N';
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!::SetCommState(h, &dcb)) return false;
    // Reads return at once with what waits, however little: the timer asks again.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!::SetCommTimeouts(h, &timeouts)) return false;
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<ComDevice> win32ComDevice() { return std::make_unique<Win32ComDevice>(); }

}  // namespace kovrel
