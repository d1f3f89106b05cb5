#pragma once
// The one set-up of every Win32 COM handle this program opens (the tracer's port, our end of the
// host's port pair): raw bytes without flow control, reads that return at once with what waits
// (the window's timer asks again), a write that gives up after a while, both queues emptied.

namespace kovrel {

struct ComLine {
  unsigned long baud = 57600;
  unsigned char dataBits = 8;
  unsigned char parity = 0;    // the DCB's code: NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
  unsigned char stopBits = 0;  // the DCB's code: ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
  bool linesRaised = false;    // DTR and RTS on from the start
  unsigned long inQueue = 4096, outQueue = 4096;  // asked of the driver, which may keep its own
  unsigned long writeLimitMs = 1000;              // a write nobody takes up ends after this
};

// Sets the open COM handle up; false when the driver refuses the line.
bool setUpComLine(void* handle, const ComLine& line);

}  // namespace kovrel
