#include "devices/device_tree_walk.h"

#include "common/console_output.h"
#include "common/run_log.h"
#include "common/system_error.h"

bool WalkDeviceTree(const DeviceTree& tree, const InstanceHandler& handleInstance) {
    CRegistryKey rootKey(tree.pszRootPath, KEY_READ);
    const LONG rc = rootKey.Open();
    if (rc != ERROR_SUCCESS) {
        const std::wstring strReason = FormatSystemError(static_cast<DWORD>(rc));
        LogMessage(L"Failed to query devices, reason: %ls", strReason.c_str());
        return false;
    }

    bool bResult = true;
    const DWORD nDeviceIds = rootKey.GetInfo().cSubKeys;
    for (DWORD i = 0; i < nDeviceIds; ++i) {
        // The list holds fewer names than the count when a name could not be
        // read at opening.
        if (i >= rootKey.m_vecSubKeys.size()) {
            LogMessage(L"%ls", tree.pszNoDeviceIdName);
            continue;
        }
        const std::wstring& strDeviceId = rootKey.m_vecSubKeys[i];
        CRegistryKey deviceKey(rootKey.GetSubKey() + L"\\" + strDeviceId, KEY_READ, HKEY_LOCAL_MACHINE);
        if (deviceKey.Open() != ERROR_SUCCESS) {
            LogMessage(L"%ls", tree.pszDeviceKeyFailed);
            continue;
        }
        const DWORD nInstances = deviceKey.GetInfo().cSubKeys;
        for (DWORD j = 0; j < nInstances; ++j) {
            if (j >= deviceKey.m_vecSubKeys.size()) continue;
            const std::wstring strInstancePath =
                std::wstring(tree.pszRootPath) + L"\\" + strDeviceId + L"\\" + deviceKey.m_vecSubKeys[j];
            CRegistryKey instanceKey(strInstancePath, KEY_READ, HKEY_LOCAL_MACHINE);
            if (!handleInstance(instanceKey, strInstancePath)) bResult = false;
            instanceKey.Close();
        }
        deviceKey.Close();
    }
    rootKey.Close();
    return bResult;
}

bool SelectDevice(CRegistryKey& instanceKey, const wchar_t* pszUnknownDevice, SelectedDevice& device) {
    if (instanceKey.QueryStringValue(L"ClassGUID", device.strClassGuid) != ERROR_SUCCESS) return false;
    if (instanceKey.QueryStringValue(L"Service", device.strService) != ERROR_SUCCESS) return false;
    device.category = ClassifyDeviceClass(device.strClassGuid);
    if (device.category == DeviceCategoryNone) return false;

    std::wstring strDesc;
    const bool bRead = instanceKey.QueryStringValue(L"DeviceDesc", strDesc) == ERROR_SUCCESS;
    device.strDescription = CleanDeviceDescription(bRead, strDesc, pszUnknownDevice);
    return true;
}

std::wstring CleanDeviceDescription(bool bRead, const std::wstring& strDesc, const wchar_t* pszUnknownDevice) {
    if (!bRead || strDesc.empty()) return pszUnknownDevice;
    const size_t nLastSemicolon = strDesc.rfind(L';');
    return nLastSemicolon == std::wstring::npos ? strDesc : strDesc.substr(nLastSemicolon + 1);
}

void AnnounceDevice(const SelectedDevice& device) {
    ConsolePrintf(L"Copying files for device %ls\n", device.strDescription.c_str());
    LogMessage(L"Copying files for device %ls", device.strDescription.c_str());
}

bool ReportDeviceOutcome(bool bSucceeded) {
    LogMessage(bSucceeded ? L"Success\n" : L"Failed\n");
    return bSucceeded;
}
