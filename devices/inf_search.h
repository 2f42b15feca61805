// An ACPI device's INF, found among the installed INF files by its hardware
// IDs and copied into its folder under the service's name.
#pragma once

#include "devices/device_classes.h"

#include <string>
#include <vector>

// Sets strTargetInf always and strSourceInf to what the search found (empty
// when nothing matched); true when the found INF was copied.
bool CopyInfByHardwareId(DeviceCategory category, std::wstring strServiceName,
                         std::vector<std::wstring>& vecHardwareIds, std::wstring& strSourceInf,
                         std::wstring& strTargetInf);

// Parses every "*.inf" of the folder, in the order the folder lists them,
// and sets strResult to each INF of the device's own class whose models list
// one of the hardware IDs for the running architecture: the last match wins.
// Left as passed when nothing matches, and always for category 0.
void FindInfByHardwareId(DeviceCategory category, std::wstring strFolder, std::vector<std::wstring>& vecHardwareIds,
                         std::wstring& strResult);
