// A PCI device's installed INF, named by its driver class key or cut from
// its "Mfg" value, copied into its folder under the service's name.
#pragma once

#include "devices/device_classes.h"
#include "registry/registry_key.h"

#include <string>

bool CopyInfFromClassKey(CRegistryKey& instanceKey, DeviceCategory category, const std::wstring& strServiceName);

// The INF file name in an "Mfg" value such as "@oem12.inf,%mfg%;Maker": the
// text before the first ',' without a leading '@'; empty without a comma.
std::wstring GetInfNameFromMfg(const std::wstring& strMfg);
