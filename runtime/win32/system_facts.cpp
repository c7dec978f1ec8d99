// The system facts from kernel32, user32 and ntdll. The two ntdll functions
// are not documented exports of every Windows version, so they are bound by
// name when first used and their absence is an answer, not a fatal error.
#include <windows.h>

#include <cstring>

#include "runtime/system_facts.h"
#include "runtime/win32/call_system.h"

namespace tavrel::platform {
namespace {

static_assert(sizeof(OSVERSIONINFOEXA) == 156);

win32::SystemFunction g_ntVersionNumbers("ntdll.dll", "RtlGetNtVersionNumbers");
win32::SystemFunction g_productInfo("ntdll.dll", "RtlGetProductInfo");

std::uintptr_t Arg(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

class Win32SystemFacts final : public SystemFactsApi {
 public:
  bool VersionEx(VersionRecord* record) override {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
    record->major = info.dwMajorVersion;
    record->minor = info.dwMinorVersion;
    record->build = info.dwBuildNumber;
    record->productType = info.wProductType;
    record->suiteMask = info.wSuiteMask;
    record->servicePack = Text(info.szCSDVersion, ::strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    return true;
  }

  std::uint16_t ProcessorArchitecture() override {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.wProcessorArchitecture;
  }

  bool RunsUnderWow64() override {
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
  }

  bool NtVersionNumbers(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* build) override {
    if (!g_ntVersionNumbers.TryAddress()) return false;
    DWORD a = 0, b = 0, c = 0;
    win32::CallSystemFunction(g_ntVersionNumbers, {Arg(&a), Arg(&b), Arg(&c)});
    *major = a;
    *minor = b;
    *build = c;
    return true;
  }

  std::int32_t SystemMetric(std::int32_t index) override { return ::GetSystemMetrics(index); }

  bool ProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                   std::uint32_t* productType) override {
    if (!g_productInfo.TryAddress()) return false;
    DWORD type = *productType;
    win32::CallSystemFunction(g_productInfo, {major, minor, spMajor, spMinor, Arg(&type)});
    *productType = type;
    return true;
  }

  bool HasSystemWow64Directory() override { return Wow64DirectoryAddress() != nullptr; }

  std::uint32_t SystemWow64Directory(char* buffer, std::uint32_t size) override {
    const void* address = Wow64DirectoryAddress();
    return address ? win32::CallByAddress(address, Arg(buffer), size) : 0;
  }

 private:
  // Looked up in the already loaded kernel32 rather than imported, so the
  // program still loads on a system that lacks the function.
  static const void* Wow64DirectoryAddress() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return reinterpret_cast<const void*>(::GetProcAddress(kernel, "GetSystemWow64DirectoryA"));
  }
};

}  // namespace

SystemFactsApi& DefaultSystemFactsApi() {
  static Win32SystemFacts facts;
  return facts;
}

}  // namespace tavrel::platform
