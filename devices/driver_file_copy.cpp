#include "devices/driver_file_copy.h"

#include "common/run_log.h"
#include "common/system_error.h"

bool CopyDriverFile(const std::wstring& strSource, const CDeviceFileTarget& target, DWORD* pdwError) {
    if (!target.IsConfined()) {
        *pdwError = ERROR_INVALID_NAME;
        return false;
    }
    if (CopyFileW(strSource.c_str(), target.Path().c_str(), FALSE)) return true;
    *pdwError = GetLastError();
    return false;
}

void LogCopyFailure(const wchar_t* pszWhatFailed, const std::wstring& strSource, DWORD dwError) {
    LogMessage(pszWhatFailed, strSource.c_str());
    const std::wstring strReason = FormatSystemError(dwError);
    LogMessage(L"Reason: %ls", strReason.c_str());
}

bool CopyDriverFileOrLog(const std::wstring& strSource, const CDeviceFileTarget& target,
                         const wchar_t* pszWhatFailed) {
    DWORD dwError = ERROR_SUCCESS;
    if (CopyDriverFile(strSource, target, &dwError)) return true;
    LogCopyFailure(pszWhatFailed, strSource, dwError);
    return false;
}
