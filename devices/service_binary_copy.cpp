#include "devices/service_binary_copy.h"

#include "common/globals.h"
#include "common/run_log.h"
#include "devices/driver_file_copy.h"
#include "registry/registry_key.h"

namespace {

bool IsDriveAbsolute(const std::wstring& strPath, size_t nAt) {
    if (strPath.size() < nAt + 3) return false;
    const wchar_t drive = strPath[nAt];
    const bool bLetter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    return bLetter && strPath[nAt + 1] == L':' && strPath[nAt + 2] == L'\\';
}

}  // namespace

std::wstring RemoveSystemRootMarker(const std::wstring& strImagePath) {
    std::wstring strPath = strImagePath;
    for (const wchar_t* pszMarker : {L"\\SystemRoot\\", L"%SystemRoot%"}) {
        const size_t nAt = strPath.find(pszMarker);
        if (nAt != std::wstring::npos) {
            strPath.erase(nAt, 12);
            break;
        }
    }
    return strPath;
}

std::wstring ServiceBinarySource(const std::wstring& strSystemRoot, const std::wstring& strImagePath) {
    // An absolute path names the driver file itself; putting the Windows
    // directory in front of it would name a file that cannot exist.
    if (IsDriveAbsolute(strImagePath, 0)) return strImagePath;
    if (strImagePath.compare(0, 4, L"\\??\\") == 0 && IsDriveAbsolute(strImagePath, 4)) return strImagePath.substr(4);
    return strSystemRoot + strImagePath;
}

bool CopyServiceBinary(DeviceCategory category, const std::wstring& strServiceName) {
    std::wstring strImagePath;
    {
        // A missing key or value leaves the path empty; the copy then fails
        // and says why.
        CRegistryKey serviceKey(L"SYSTEM\\CurrentControlSet\\services\\" + strServiceName, KEY_READ,
                                HKEY_LOCAL_MACHINE);
        (void)serviceKey.QueryStringValue(L"ImagePath", strImagePath);
        serviceKey.Close();
    }
    LogMessage(L"ImagePath is: %ls", strImagePath.c_str());

    const std::wstring strPath = RemoveSystemRootMarker(strImagePath);
    const size_t nLastSlash = strPath.rfind(L'\\');
    const std::wstring strFileName = nLastSlash == std::wstring::npos ? strPath : strPath.substr(nLastSlash + 1);
    const std::wstring strSource = ServiceBinarySource(g_strSystemRoot, strPath);
    return CopyDriverFileOrLog(strSource, CDeviceFileTarget(category, strServiceName, strFileName),
                               L"Failed to copy driver file %ls");
}
