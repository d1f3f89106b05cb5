#include <windows.h>

#include "base/wide_text_windows.h"
#include "shell/running_copy.h"

namespace kovrel {

RunningCopyGuard::RunningCopyGuard(std::string_view name) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wideFromUtf8(name).c_str());
  const DWORD error = ::GetLastError();
  first_ = mutex != nullptr && error != ERROR_ALREADY_EXISTS;
  // A second copy lets go of the name at once: it is the first copy's for as long as it runs.
  if (first_)
    mutex_ = mutex;
  else if (mutex != nullptr)
    ::CloseHandle(mutex);
}

RunningCopyGuard::~RunningCopyGuard() {
  if (mutex_ != nullptr) ::CloseHandle(static_cast<HANDLE>(mutex_));
}

bool bringWindowForward(std::string_view title) {
  const HWND window = ::FindWindowW(nullptr, wideFromUtf8(title).c_str());
  if (window == nullptr) return false;
  if (::IsIconic(window)) ::OpenIcon(window);
  ::SetForegroundWindow(window);
  return true;
}

}  // namespace kovrel
