// Process, modules, token and system version, answered from the image.
#include "handles.h"
#include "image_state.h"
#include "platform_api.h"
#include "wide_text.h"

#include <cstring>

namespace {

HMODULE const kMainModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
HMODULE const kKernel32 = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7C800000));
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

thread_local DWORD t_lastError = ERROR_SUCCESS;

BOOL WINAPI HostIsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    DWORD code = 0;
    if (host::TakeFault("IsWow64Process", L"", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (hProcess != kCurrentProcess || !Wow64Process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *Wow64Process = host::Image().bIs64Bit ? TRUE : FALSE;
    return TRUE;
}

BOOL WINAPI HostWow64DisableWow64FsRedirection(PVOID* OldValue) {
    if (!host::Image().bIs64Bit) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (OldValue) *OldValue = nullptr;
    host::Image().bFsRedirectionDisabled = true;
    return TRUE;
}

}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName) return kMainModule;
    std::wstring name = lpModuleName;
    if (host::EqualsNoCase(name, L"kernel32") || host::EqualsNoCase(name, L"kernel32.dll")) return kKernel32;
    SetLastError(126);  // ERROR_MOD_NOT_FOUND
    return nullptr;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    const std::string name = lpProcName ? lpProcName : "";
    DWORD code = 0;
    if (hModule == kKernel32 && !host::TakeFault("GetProcAddress", host::WideFromUtf8(name), &code)) {
        if (name == "IsWow64Process") return reinterpret_cast<FARPROC>(&HostIsWow64Process);
        if (name == "Wow64DisableWow64FsRedirection") {
            return reinterpret_cast<FARPROC>(&HostWow64DisableWow64FsRedirection);
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD, PHANDLE TokenHandle) {
    DWORD code = 0;
    if (host::TakeFault("OpenProcessToken", L"", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (ProcessHandle != kCurrentProcess || !TokenHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *TokenHandle = host::RegisterHandle(new host::TokenObject());
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR, LPCWSTR lpName, PLUID lpLuid) {
    const std::wstring name = lpName ? lpName : L"";
    DWORD code = 0;
    if (host::TakeFault("LookupPrivilegeValueW", name, &code)) {
        SetLastError(code);
        return FALSE;
    }
    DWORD value = 0;
    if (host::EqualsNoCase(name, SE_BACKUP_NAME)) value = 17;
    if (host::EqualsNoCase(name, SE_RESTORE_NAME)) value = 18;
    if (value == 0 || !lpLuid) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    lpLuid->LowPart = value;
    lpLuid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, LPDWORD) {
    DWORD code = 0;
    if (host::TakeFault("AdjustTokenPrivileges", L"", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (!host::LookupHandle(TokenHandle, host::HostObject::Kind::Token)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    DWORD code = 0;
    if (host::TakeFault("GetVersionExW", L"", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const host::ImageState& image = host::Image();
    lpVersionInformation->dwMajorVersion = image.dwMajorVersion;
    lpVersionInformation->dwMinorVersion = image.dwMinorVersion;
    lpVersionInformation->dwBuildNumber = image.dwBuildNumber;
    lpVersionInformation->dwPlatformId = 2;  // VER_PLATFORM_WIN32_NT
    lpVersionInformation->szCSDVersion[0] = L'\0';
    return TRUE;
}
