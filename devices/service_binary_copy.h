// A device's driver file, named by its service's "ImagePath", copied into
// the device's folder.
#pragma once

#include "devices/device_classes.h"

#include <string>

bool CopyServiceBinary(DeviceCategory category, const std::wstring& strServiceName);

// The image path with its Windows-directory marker removed: the first
// "\SystemRoot\" (case-sensitive), else the first "%SystemRoot%".
std::wstring RemoveSystemRootMarker(const std::wstring& strImagePath);

// Where the driver file is read from: an absolute path (a drive and ":\",
// possibly behind "\??\") as it stands, anything else below the Windows
// directory.
std::wstring ServiceBinarySource(const std::wstring& strSystemRoot, const std::wstring& strImagePath);
