#include "devices/driver_file_copy.h"

#include "app/run_log.h"
#include "app/system_error.h"

bool CopyDriverFile(const std::wstring& strSource, const std::wstring& strTarget, bool bTargetNamesArePlain,
                    DWORD* pdwError) {
    if (!bTargetNamesArePlain) {
        *pdwError = ERROR_INVALID_NAME;
        return false;
    }
    if (CopyFileW(strSource.c_str(), strTarget.c_str(), FALSE)) return true;
    *pdwError = GetLastError();
    return false;
}

void LogCopyFailure(const wchar_t* pszWhatFailed, const std::wstring& strSource, DWORD dwError) {
    LogMessage(pszWhatFailed, strSource.c_str());
    const std::wstring strReason = FormatSystemError(dwError);
    LogMessage(L"Reason: %ls", strReason.c_str());
}

bool CopyDriverFileOrLog(const std::wstring& strSource, const std::wstring& strTarget, bool bTargetNamesArePlain,
                         const wchar_t* pszWhatFailed) {
    DWORD dwError = ERROR_SUCCESS;
    if (CopyDriverFile(strSource, strTarget, bTargetNamesArePlain, &dwError)) return true;
    LogCopyFailure(pszWhatFailed, strSource, dwError);
    return false;
}
