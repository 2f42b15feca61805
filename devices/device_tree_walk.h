// What the PCI and the ACPI scans share: the walk of an enumeration tree by
// index, the choice of devices, the line that announces a device and the
// line that closes it.
#pragma once

#include "devices/device_classes.h"
#include "registry/registry_key.h"

#include <functional>
#include <string>

struct DeviceTree {
    const wchar_t* pszRootPath;         // "SYSTEM\CurrentControlSet\Enum\..."
    const wchar_t* pszNoDeviceIdName;   // logged when a device ID name is missing at an index
    const wchar_t* pszDeviceKeyFailed;  // logged when a device key cannot be opened
    const wchar_t* pszUnknownDevice;    // shown for a device without a description
};

// A device instance of one of the four classes, with its service.
struct SelectedDevice {
    DeviceCategory category = DeviceCategoryNone;
    std::wstring strClassGuid;
    std::wstring strService;
    std::wstring strDescription;
};

// Handles one instance; false when the instance was selected and failed.
using InstanceHandler = std::function<bool(CRegistryKey& instanceKey, const std::wstring& strInstancePath)>;

// Walks <root>\<device ID>\<instance ID> by index and hands each instance key
// (not yet opened) to the handler. False when the root key cannot be opened
// or when a handler returned false; the walk itself never stops early.
bool WalkDeviceTree(const DeviceTree& tree, const InstanceHandler& handleInstance);

// Reads "ClassGUID" and "Service" and classifies the device; false (and
// nothing logged) when it is not one to copy. Then reads "DeviceDesc".
bool SelectDevice(CRegistryKey& instanceKey, const wchar_t* pszUnknownDevice, SelectedDevice& device);

// The description shown for a device: empty or unreadable gives the
// fallback, otherwise the text after its last ';' (so one that ends in ';'
// is shown empty).
std::wstring CleanDeviceDescription(bool bRead, const std::wstring& strDesc, const wchar_t* pszUnknownDevice);

// "Copying files for device %s" on the console and in the log.
void AnnounceDevice(const SelectedDevice& device);

// Logs "Success\n" or "Failed\n" and returns bSucceeded.
bool ReportDeviceOutcome(bool bSucceeded);
