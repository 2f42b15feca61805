#include "common/system_info.h"

#include "common/run_log.h"

IsWow64ProcessFn LookUpIsWow64Process() {
    return reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"));
}

bool IsWow64() {
    BOOL bIsWow64 = FALSE;
    const IsWow64ProcessFn pfnIsWow64Process = LookUpIsWow64Process();
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
