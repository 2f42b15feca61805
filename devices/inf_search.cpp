#include "devices/inf_search.h"

#include "common/globals.h"
#include "common/run_log.h"
#include "devices/driver_file_copy.h"
#include "inf/inf_file.h"
#include "inf/model_matcher.h"
#include "inf/vendor_device.h"
#include "platform.h"

namespace {

// Whether one candidate INF is of the device's class and lists one of its IDs.
bool InfListsDevice(const std::wstring& strPath, DeviceCategory category, std::vector<std::wstring>& vecHardwareIds) {
    CInfFile inf(strPath);
    if (!inf.Load()) return false;
    inf.Parse();
    bool bMatches = false;
    InfEntryRef classGuid;
    if (inf.FindVersionEntry(L"ClassGuid", classGuid)) {
        const wchar_t* pszClassGuid = inf.GetEntryValueText(classGuid);
        // A device outside the four classes has no INF to find: an INF of no
        // known class classifies as 0 too, and is no match for it.
        if (category != DeviceCategoryNone && ClassifyDeviceClass(pszClassGuid ? pszClassGuid : L"") == category) {
            const wchar_t* pszPlatform = g_bTargetIsX64 != 0 ? L"amd64" : L"x86";
            CVendorDevice device;
            bMatches = MatchDeviceModel(pszPlatform, inf, vecHardwareIds, device, g_bTargetIsX64 != 0);
        }
    }
    inf.Unload();
    return bMatches;
}

}  // namespace

void FindInfByHardwareId(DeviceCategory category, std::wstring strFolder, std::vector<std::wstring>& vecHardwareIds,
                         std::wstring& strResult) {
    if (strFolder.empty() || strFolder.back() != L'\\') strFolder += L'\\';
    const std::wstring strPattern = strFolder + L"*.inf";
    WIN32_FIND_DATAW findData{};
    HANDLE hFind = FindFirstFileW(strPattern.c_str(), &findData);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring strCandidate = strFolder + findData.cFileName;
        if (InfListsDevice(strCandidate, category, vecHardwareIds)) strResult = strCandidate;
    } while (FindNextFileW(hFind, &findData));
    FindClose(hFind);
}

bool CopyInfByHardwareId(DeviceCategory category, std::wstring strServiceName,
                         std::vector<std::wstring>& vecHardwareIds, std::wstring& strSourceInf,
                         std::wstring& strTargetInf) {
    const std::wstring strInfFolder = g_strSystemRoot + L"Inf\\";
    const CDeviceFileTarget target(category, strServiceName, strServiceName + L".inf");
    strTargetInf = target.Path();

    std::wstring strFound;
    FindInfByHardwareId(category, strInfFolder, vecHardwareIds, strFound);
    LogMessage(L"INF Filename is: %ls", strFound.c_str());
    strSourceInf = strFound;

    return CopyDriverFileOrLog(strFound, target, L"Failed to copy INF file %ls");
}
