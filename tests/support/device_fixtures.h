// Registry lines and INF texts for device scenarios.
#pragma once

#include <string>
#include <vector>

namespace test {

extern const char kHdcGuid[];
extern const char kScsiGuid[];
extern const char kNetGuid[];
extern const char kUsbGuid[];
extern const char kDisplayGuid[];

struct PciInstance {
    std::string strDeviceId;  // "VEN_8086&DEV_15B8&SUBSYS_..."
    std::string strInstanceId = "3&11583659&0&FE";
    std::string strClassGuid;
    std::string strService;
    std::string strDeviceDesc;       // empty: no value
    std::string strDriver;           // empty: no value
    std::string strMfg;              // empty: no value
};
std::string PciInstanceLines(const PciInstance& device);

struct AcpiInstance {
    std::string strDeviceId;  // "PNP0A03"
    std::string strInstanceId = "0";
    std::string strClassGuid;
    std::string strService;
    std::string strDeviceDesc;
    std::vector<std::string> vecHardwareIds;  // empty: no value
};
std::string AcpiInstanceLines(const AcpiInstance& device);

std::string ServiceLines(const std::string& service, const std::string& imagePath);
std::string ClassKeyLines(const std::string& driver, const std::string& infPath);

// A driver INF of a class, listing hardware IDs for x86 and amd64.
std::string DriverInf(const std::string& classGuid, const std::string& catalogFile,
                      const std::vector<std::string>& hardwareIds);

}  // namespace test
