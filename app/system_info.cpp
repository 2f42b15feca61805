#include "app/system_info.h"

#include "app/run_log.h"
#include "platform.h"

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

}  // namespace

bool IsWow64() {
    BOOL bIsWow64 = FALSE;
    auto pfnIsWow64Process =
        reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"));
    if (!pfnIsWow64Process) {
        LogMessage(L"Failed to load IsWow64Process from DLL");
        return false;
    }
    if (!pfnIsWow64Process(GetCurrentProcess(), &bIsWow64)) {
        LogMessage(L"IsWow64Process returned false");
        return false;
    }
    return bIsWow64 != FALSE;
}

bool IsVistaOrLater() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info));
    return info.dwMajorVersion >= 6u;
}
