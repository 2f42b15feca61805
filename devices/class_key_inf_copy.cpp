#include "devices/class_key_inf_copy.h"

#include "common/globals.h"
#include "common/run_log.h"
#include "devices/driver_file_copy.h"

std::wstring GetInfNameFromMfg(const std::wstring& strMfg) {
    const size_t nComma = strMfg.find(L',');
    if (nComma == std::wstring::npos) return std::wstring();
    std::wstring strName = strMfg.substr(0, nComma);
    if (!strName.empty() && strName[0] == L'@') strName.erase(0, 1);
    return strName;
}

bool CopyInfFromClassKey(CRegistryKey& instanceKey, DeviceCategory category, const std::wstring& strServiceName) {
    // Unread values stay empty; an empty INF name makes the copy fail and say why.
    std::wstring strDriver;
    (void)instanceKey.QueryStringValue(L"Driver", strDriver);

    std::wstring strInfName;
    {
        CRegistryKey classKey(L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + strDriver, KEY_ALL_ACCESS,
                              HKEY_LOCAL_MACHINE);
        (void)classKey.QueryStringValue(L"InfPath", strInfName);
        classKey.Close();
    }
    if (strInfName.empty()) {
        LogMessage(L"Driver Control Class instance not found, attempting Mfg entry");
        std::wstring strMfg;
        (void)instanceKey.QueryStringValue(L"Mfg", strMfg);
        strInfName = GetInfNameFromMfg(strMfg);
    }
    LogMessage(L"INF Filename is: %ls", strInfName.c_str());

    const std::wstring strSource = g_strSystemRoot + L"Inf\\" + strInfName;
    return CopyDriverFileOrLog(strSource, CDeviceFileTarget(category, strServiceName, strServiceName + L".inf"),
                               L"Failed to copy INF file %ls");
}
