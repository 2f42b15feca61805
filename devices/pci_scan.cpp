#include "devices/pci_scan.h"

#include "common/system_info.h"
#include "devices/catalog_copy.h"
#include "devices/class_key_inf_copy.h"
#include "devices/device_folder.h"
#include "devices/device_tree_walk.h"
#include "devices/service_binary_copy.h"

namespace {

const DeviceTree kPciTree = {
    L"SYSTEM\\CurrentControlSet\\Enum\\PCI",
    L"Failed to get subkey name from the hardware enumeration key",
    L"Failed to open class subkey from the hardware enumeration key",
    L"Unknown device",
};

bool CopyPciInstance(CRegistryKey& instanceKey, const std::wstring&) {
    SelectedDevice device;
    if (!SelectDevice(instanceKey, kPciTree.pszUnknownDevice, device)) return true;
    AnnounceDevice(device);

    // The first step that fails ends the device's sequence.
    const bool bSucceeded = CreateDeviceFolder(device.category, device.strService) &&
                            CopyServiceBinary(device.category, device.strService) &&
                            CopyInfFromClassKey(instanceKey, device.category, device.strService) &&
                            (!IsVistaOrLater() || CopyCatalogFile(instanceKey, device.category, device.strService));
    return ReportDeviceOutcome(bSucceeded);
}

}  // namespace

bool CopyPciDrivers() { return WalkDeviceTree(kPciTree, CopyPciInstance); }
