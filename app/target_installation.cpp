#include "app/target_installation.h"

#include "common/globals.h"
#include "common/run_log.h"
#include "common/system_info.h"
#include "platform.h"
#include "registry/registry_key.h"

namespace {

const wchar_t kInstallKey[] = L"SOFTWARE\\Tessaro\\Pelvane";

// Whether the running Windows is 64-bit, with this stage's own log lines.
bool IsSystem64Bit() {
    BOOL bIsWow64 = FALSE;
    const IsWow64ProcessFn pfnIsWow64Process = LookUpIsWow64Process();
    if (!pfnIsWow64Process) return false;
    if (!pfnIsWow64Process(GetCurrentProcess(), &bIsWow64)) {
        LogMessage(L"Failed to execute IsWow64Process from kernel32.dll");
        return false;
    }
    LogMessage(L"IsWow64Process executed successfully from kernel32.dll");
    LogMessage(bIsWow64 ? L"Operating system is x64" : L"Operating system is x86");
    return bIsWow64 != FALSE;
}

}  // namespace

bool LocateTargetInstallation() {
    {
        // The 64-bit view: a 32-bit program would otherwise read WOW6432Node.
        CRegistryKey key(kInstallKey, KEY_READ | KEY_WOW64_64KEY);
        if (key.QueryStringValue(L"InstallDir", g_strInstallDir) != ERROR_SUCCESS) {
            LogMessage(
                L"Failed to retrieve Pelvane installation directory from registry, has Pelvane been installed ?");
            return false;
        }
    }
    if (g_strInstallDir.empty() || g_strInstallDir.back() != L'\\') g_strInstallDir += L'\\';

    // A folder or a file of that name marks the x64 variant.
    const std::wstring strX64Marker = g_strInstallDir + L"Tessaro\\x64";
    if (GetFileAttributesW(strX64Marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
        g_bTargetIsX64 = 1;
        LogMessage(L"WinPE component is x64");
    } else {
        g_bTargetIsX64 = 0;
        LogMessage(L"WinPE component is x86");
    }

    const bool bSystemIs64Bit = IsSystem64Bit();
    if (bSystemIs64Bit && g_bTargetIsX64 == 0) {
        LogMessage(L"Cannot copy 64 bit drivers to a 32 bit PE installation");
        return false;
    }
    if (!bSystemIs64Bit && g_bTargetIsX64 == 1) {
        LogMessage(L"Cannot copy 32 bit drivers to a 64 bit PE installation");
        return false;
    }
    return true;
}
