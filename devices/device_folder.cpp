#include "devices/device_folder.h"

#include "common/folders.h"
#include "common/run_log.h"
#include "devices/file_names.h"
#include "platform.h"

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

CDeviceFileTarget::CDeviceFileTarget(DeviceCategory category, const std::wstring& strServiceName,
                                     const std::wstring& strFileName)
    : m_bConfined(IsPlainFileName(strServiceName) && (strFileName.empty() || IsPlainFileName(strFileName))) {
    const std::wstring* pFolder = CategoryFolder(category);
    if (pFolder) m_strPath = *pFolder + strServiceName + L"\\" + strFileName;
}
