#include "app/driver_folders.h"

#include "app/file_names.h"
#include "app/globals.h"
#include "app/run_log.h"
#include "platform.h"

namespace {

// Creates a folder unless something of that name exists already.
bool EnsureFolder(const std::wstring& strPath) {
    if (GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return CreateDirectoryW(strPath.c_str(), nullptr) != FALSE;
}

}  // namespace

bool CreateDriverFolders() {
    g_strDiskFolder = g_strInstallDir + L"Tessaro\\Drivers\\Disk\\";
    g_strNetworkFolder = g_strInstallDir + L"Tessaro\\Drivers\\Network\\";
    g_strUsbFolder = g_strInstallDir + L"Tessaro\\Drivers\\USB\\";

    bool bResult = true;
    for (const std::wstring* pFolder : {&g_strDiskFolder, &g_strNetworkFolder, &g_strUsbFolder}) {
        if (!EnsureFolder(*pFolder)) {
            LogMessage(L"Failed to create folder: %ls", pFolder->c_str());
            bResult = false;
        }
    }
    return bResult;
}

bool CreateDeviceFolder(DeviceCategory category, const std::wstring& strServiceName) {
    // A category outside the four has no folder: the path stays empty and
    // cannot be created.
    std::wstring strPath;
    const std::wstring* pFolder = CategoryFolder(category);
    if (pFolder) strPath = *pFolder + strServiceName;

    // The service name comes from the registry; one that is not a plain name
    // would put the folder somewhere else, so it is refused like a name the
    // system rejects.
    if (!IsPlainFileName(strServiceName) || !EnsureFolder(strPath)) {
        LogMessage(L"Failed to create target folder for device driver: %ls", strPath.c_str());
        return false;
    }
    return true;
}

std::wstring DeviceFilePath(DeviceCategory category, const std::wstring& strServiceName,
                            const std::wstring& strFileName) {
    const std::wstring* pFolder = CategoryFolder(category);
    if (!pFolder) return std::wstring();
    return *pFolder + strServiceName + L"\\" + strFileName;
}
