// Stage 2 and the per-device folders: the tree of copied drivers under the
// installation, sorted by category and then by service name.
#pragma once

#include "devices/device_classes.h"

#include <string>

// Sets the three category folder globals and creates those that are
// missing; false if any of them cannot be created.
bool CreateDriverFolders();

// Creates "<category folder><service name>" unless it exists; false, with a
// log line, when it cannot be created.
bool CreateDeviceFolder(DeviceCategory category, const std::wstring& strServiceName);

// "<category folder><service name>\<file name>", where a device's files are
// copied to; empty for a category outside the four.
std::wstring DeviceFilePath(DeviceCategory category, const std::wstring& strServiceName,
                            const std::wstring& strFileName);
