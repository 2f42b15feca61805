// CVendorDevice: what an INF says about a device that its models list.
#pragma once

#include <string>

class CVendorDevice {
public:
    CVendorDevice() = default;
    virtual ~CVendorDevice() = default;

    CVendorDevice(const CVendorDevice&) = delete;
    CVendorDevice& operator=(const CVendorDevice&) = delete;

    // The install section found for the matched model line, as looked up
    // (with its decoration when a decorated one was found).
    std::wstring m_strInstallSection;
    // The services section found for it, or empty.
    std::wstring m_strServicesSection;
    // The models section in which the model line stood, as looked up.
    std::wstring m_strModelsSection;
    // The ID written on the model line that matched, upper-cased.
    std::wstring m_strHardwareId;
    // The model line's key and the manufacturer entry's key, resolved,
    // trimmed and unquoted.
    std::wstring m_strDescription;
    std::wstring m_strManufacturer;
    // From "DriverVer": of the install section when it has one, else of
    // section "Version".
    std::wstring m_strDriverDate;
    std::wstring m_strDriverVersion;
    // "CatalogFile" of section "Version", as stored.
    std::wstring m_strCatalogFile;
};
