#include <windows.h>

#include "shell/windows_version.h"

namespace kovrel {

WindowsVersion runningWindowsVersion() {
  // RtlGetVersion is the kernel's own answer, untouched by the compatibility shims; it is looked
  // up at run time because the import libraries do not list it.
  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return {};
  const auto call = reinterpret_cast<RtlGetVersionCall>(
      reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (call == nullptr) return {};
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (call(&info) != 0) return {};
  return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

}  // namespace kovrel
