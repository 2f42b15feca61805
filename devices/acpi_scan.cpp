#include "devices/acpi_scan.h"

#include "common/run_log.h"
#include "common/system_info.h"
#include "devices/catalog_copy.h"
#include "devices/device_folder.h"
#include "devices/device_tree_walk.h"
#include "devices/inf_search.h"
#include "devices/service_binary_copy.h"

#include <vector>

namespace {

const DeviceTree kAcpiTree = {
    L"SYSTEM\\CurrentControlSet\\Enum\\ACPI",
    L"Failed to get subkey name from the ACPI hardware enumeration key",
    L"Failed to open class subkey from the ACPI hardware enumeration key",
    L"ACPI device",
};

bool CopyAcpiInstance(CRegistryKey& instanceKey, const std::wstring& strInstancePath) {
    SelectedDevice device;
    if (!SelectDevice(instanceKey, kAcpiTree.pszUnknownDevice, device)) return true;

    std::vector<std::wstring> vecHardwareIds;
    if (instanceKey.QueryMultiStringValue(L"HardwareID", vecHardwareIds) != ERROR_SUCCESS) {
        LogMessage(L"Failed to query HardwareID for device key %ls", strInstancePath.c_str());
        return true;
    }
    AnnounceDevice(device);

    std::wstring strSourceInf;
    std::wstring strTargetInf;
    const bool bSucceeded =
        CreateDeviceFolder(device.category, device.strService) &&
        CopyServiceBinary(device.category, device.strService) &&
        CopyInfByHardwareId(device.category, device.strService, vecHardwareIds, strSourceInf, strTargetInf) &&
        (!IsVistaOrLater() || CopyAcpiCatalogFile(device.category, device.strService, strSourceInf, strTargetInf));
    return ReportDeviceOutcome(bSucceeded);
}

}  // namespace

bool CopyAcpiDrivers() { return WalkDeviceTree(kAcpiTree, CopyAcpiInstance); }
