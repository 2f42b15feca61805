#include "app/run_sequence.h"

#include "app/driver_folders.h"
#include "app/target_installation.h"
#include "common/console_output.h"
#include "common/globals.h"
#include "common/run_log.h"
#include "common/system_error.h"
#include "common/system_info.h"
#include "devices/acpi_scan.h"
#include "devices/pci_scan.h"
#include "platform.h"
#include "registry/registry_key.h"

namespace {

using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);

const wchar_t kOwnershipNotice[] = L"Copyright (c) Tessaro. All rights reserved.";

// Filled when redirection is switched off; never read again, as redirection
// stays off for the whole run.
PVOID g_pvOldRedirection = nullptr;

void DisableFileSystemRedirection() {
    auto pfnDisable = reinterpret_cast<Wow64DisableFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "Wow64DisableWow64FsRedirection"));
    if (pfnDisable) pfnDisable(&g_pvOldRedirection);
}

void EnablePrivilege(HANDLE hToken, const wchar_t* pszName) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // A privilege that cannot be enabled stays as it was; the run goes on.
    LookupPrivilegeValueW(nullptr, pszName, &privileges.Privileges[0].Luid);
    AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, nullptr, nullptr);
}

void EnableBackupAndRestorePrivileges() {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken)) {
        // Without the token the copies may still succeed, so the stages run;
        // their results give the exit code.
        const std::wstring strReason = FormatSystemError(GetLastError());
        LogMessage(L"Failed to open the process token, privileges not enabled, reason: %ls", strReason.c_str());
        return;
    }
    EnablePrivilege(hToken, SE_RESTORE_NAME);
    EnablePrivilege(hToken, SE_BACKUP_NAME);
    CloseHandle(hToken);
}

int RunStages() {
    if (!LocateTargetInstallation()) return RunTargetNotFound;
    if (!CreateDriverFolders()) return RunFoldersNotCreated;
    if (!CopyPciDrivers()) return RunDriverCopyFailed;
    if (!CopyAcpiDrivers()) return RunDriverCopyFailed;
    return RunSucceeded;
}

}  // namespace

int DravolinMain() {
    int nResult = RunSucceeded;

    // The log is not open yet: a failure line of IsWow64 is discarded.
    if (IsWow64()) DisableFileSystemRedirection();

    ConsolePrintf(L"Tessaro Dravolin - Driver Copy Utility - %ls\n", kOwnershipNotice);

    if (!platform::InitProcessFramework(GetModuleHandleW(nullptr), GetCommandLineW())) {
        ConsolePrintf(L"Fatal Error: MFC initialization failed\n");
        return RunFrameworkFailed;
    }

    // A missing value leaves the Windows directory empty; it then becomes a
    // single backslash and the copies fail and say why.
    CRegistryKey versionKey(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", KEY_READ);
    (void)versionKey.QueryStringValue(L"SystemRoot", g_strSystemRoot);
    if (g_strSystemRoot.empty() || g_strSystemRoot.back() != L'\\') g_strSystemRoot += L'\\';

    g_log.Open("Dravolin.log");
    LogMessage(L"Tessaro Dravolin - Driver Copy Utility %ls - %ls", g_strVersion.c_str(), kOwnershipNotice);

    EnableBackupAndRestorePrivileges();

    nResult = RunStages();

    g_log.Close();
    if (nResult != RunSucceeded) ConsolePrintf(L"Errors occurred copying drivers, please see log file\n");
    return nResult;
}
