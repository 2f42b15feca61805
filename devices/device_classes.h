// The four setup classes whose drivers are gathered, and their folders.
#pragma once

#include <cstdint>
#include <string>

enum DeviceCategory : uint32_t {
    DeviceCategoryNone = 0,
    Hdc = 1,          // IDE ATA/ATAPI controllers
    ScsiAdapter = 2,  // SCSI and RAID controllers
    Net = 3,          // network adapters
    Usb = 4,          // USB host controllers and hubs
};

// The category whose class GUID text equals the given one, ignoring the case
// of ASCII letters only; 0 when none does. Nothing is trimmed.
DeviceCategory ClassifyDeviceClass(const std::wstring& strClassGuid);

// The category folder of 1 to 4 (Hdc and ScsiAdapter share the disk folder);
// null for any other value.
const std::wstring* CategoryFolder(DeviceCategory category);
