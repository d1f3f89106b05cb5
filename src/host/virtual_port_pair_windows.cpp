// Our end of the pair as a Win32 COM handle, and the port put together.
#include "host/virtual_port_pair_windows.h"

#include <windows.h>

#include "base/com_line_windows.h"
#include "host/pair_control_windows.h"
#include "host/virtual_port_pair.h"

namespace kovrel {

namespace {

// How long a write may wait for a host that has stopped reading (the pair's queue is full), in ms.
constexpr DWORD kWriteStallMs = 1000;

class Win32PairEnd : public PairEnd {
 public:
  Win32PairEnd() {
    event_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ioDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~Win32PairEnd() override {
    close();
    CloseHandle(event_.hEvent);
    CloseHandle(ioDone_);
  }

  bool open(const std::string& name) override {
    close();
    const std::wstring path = L"\\\\.\\" + std::wstring(name.begin(), name.end());
    handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    // 57600,N,8,1, our DTR raised: the host end sees us there.
    if (!setUpComLine(handle_, {57600, 8, NOPARITY, ONESTOPBIT, true, 4096, 4096, kWriteStallMs})) {
      close();
      return false;
    }
    // A pair's end always reports its lines. A port that has none is the Wine test rig's (a pty
    // behind a COM name): there the host is taken as present, so the bytes can be checked.
    DWORD status = 0;
    hasLines_ = GetCommModemStatus(handle_, &status) != 0;
    // DSR changes are latched by the driver and reported by the pending wait, so a raise and drop
    // between two ticks is not lost.
    waiting_ = SetCommMask(handle_, EV_DSR) && armWait();
    return true;
  }

  void close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    if (waiting_) {
      SetCommMask(handle_, 0);  // completes the pending wait
      DWORD n = 0;
      GetOverlappedResult(handle_, &event_, &n, TRUE);
    }
    waiting_ = false;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  std::optional<PairLines> lines() override {
    if (handle_ == INVALID_HANDLE_VALUE) return std::nullopt;
    if (!hasLines_) return PairLines{true, false, false};
    DWORD status = 0;
    if (!GetCommModemStatus(handle_, &status)) return std::nullopt;
    PairLines lines;
    lines.hostOpen = (status & MS_RLSD_ON) != 0;  // DCD: wired to "the host end is open"
    lines.hostDtr = (status & MS_DSR_ON) != 0;    // DSR: wired to the host's DTR
    DWORD n = 0;
    while (waiting_ && GetOverlappedResult(handle_, &event_, &n, FALSE)) {
      lines.dtrChanged = lines.dtrChanged || (mask_ & EV_DSR) != 0;
      waiting_ = armWait();
    }
    return lines;
  }

  bool read(std::deque<std::uint8_t>& into) override {
    DWORD errors = 0;
    COMSTAT stat{};
    if (handle_ == INVALID_HANDLE_VALUE || !ClearCommError(handle_, &errors, &stat)) return false;
    if (stat.cbInQue == 0) return true;
    std::vector<std::uint8_t> buffer(stat.cbInQue);
    OVERLAPPED ov{};
    ov.hEvent = ioDone_;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer.data(), stat.cbInQue, &got, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(handle_, &ov, &got, TRUE)) return false;
    }
    into.insert(into.end(), buffer.begin(), buffer.begin() + got);
    return true;
  }

  bool write(const std::vector<std::uint8_t>& bytes) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    if (bytes.empty()) return true;
    OVERLAPPED ov{};
    ov.hEvent = ioDone_;
    DWORD done = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, &ov)) {
      // The write timeout ends a write the host does not take up within kWriteStallMs.
      if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(handle_, &ov, &done, TRUE)) return false;
    }
    return done == bytes.size();
  }

  void purgeInput() override {
    if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_RXCLEAR);
  }

 private:
  // Starts the next wait for a line change; false when the port cannot report them.
  bool armWait() {
    mask_ = 0;
    if (WaitCommEvent(handle_, &mask_, &event_)) {
      SetEvent(event_.hEvent);  // already there: the next look collects it
      return true;
    }
    return GetLastError() == ERROR_IO_PENDING;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  OVERLAPPED event_{};
  HANDLE ioDone_ = nullptr;
  DWORD mask_ = 0;
  bool waiting_ = false;
  bool hasLines_ = true;
};

}  // namespace

std::unique_ptr<VirtualPort> makePairVirtualPort(std::unique_ptr<Timer> poll) {
  return std::make_unique<PairVirtualPort>(makeSetupcPairControl(), std::make_unique<Win32PairEnd>(),
                                           std::move(poll));
}

}  // namespace kovrel
