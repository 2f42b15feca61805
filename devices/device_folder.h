// A device's own folder below its category folder, and the paths of the
// files copied into it.
#pragma once

#include "devices/device_classes.h"

#include <string>

// Creates "<category folder><service name>" unless it exists; false, with a
// log line, when it cannot be created or the service name is not a plain
// name.
bool CreateDeviceFolder(DeviceCategory category, const std::wstring& strServiceName);

// Where one file of a device is copied to: "<category folder><service
// name>\<file name>". Both names come from data, and this is the one place
// that decides whether the path stays inside the device's folder, so every
// copy into it takes one of these.
class CDeviceFileTarget {
public:
    // A service name, or a file name, that is not a plain name makes the
    // target refused. An empty file name is let through: the path then names
    // the device's folder, which no copy can overwrite, and the copy fails
    // with the system's own reason. A category outside the four gives an
    // empty path.
    CDeviceFileTarget(DeviceCategory category, const std::wstring& strServiceName, const std::wstring& strFileName);

    const std::wstring& Path() const { return m_strPath; }
    // False when a name would lead outside the device's folder or name a
    // device; such a target must not be written.
    bool IsConfined() const { return m_bConfined; }

private:
    std::wstring m_strPath;
    bool m_bConfined;
};
