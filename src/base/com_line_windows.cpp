#include "base/com_line_windows.h"

#include <windows.h>

namespace kovrel {

bool setUpComLine(void* handle, const ComLine& line) {
  SetupComm(handle, line.inQueue, line.outQueue);  // a size the driver may decline
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return false;
  dcb.BaudRate = line.baud;
  dcb.ByteSize = line.dataBits;
  dcb.Parity = line.parity;
  dcb.StopBits = line.stopBits;
  dcb.fBinary = TRUE;
  dcb.fParity = line.parity != NOPARITY;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fAbortOnError = FALSE;
  dcb.fDtrControl = line.linesRaised ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fRtsControl = line.linesRaised ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  if (!SetCommState(handle, &dcb)) return false;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // with no totals: a read takes what is there, at once
  timeouts.WriteTotalTimeoutConstant = line.writeLimitMs;
  if (!SetCommTimeouts(handle, &timeouts)) return false;
  PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
  return true;
}

}  // namespace kovrel
