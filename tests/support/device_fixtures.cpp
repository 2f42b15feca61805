#include "support/device_fixtures.h"

#include "support/test_image.h"

namespace test {

const char kHdcGuid[] = "{4d36e96a-e325-11ce-bfc1-08002be10318}";
const char kScsiGuid[] = "{4d36e97b-e325-11ce-bfc1-08002be10318}";
const char kNetGuid[] = "{4d36e972-e325-11ce-bfc1-08002be10318}";
const char kUsbGuid[] = "{36fc9e60-c465-11cf-8056-444553540000}";
const char kDisplayGuid[] = "{4d36e968-e325-11ce-bfc1-08002be10318}";

namespace {

std::string OptionalString(const std::string& name, const std::string& value) {
    return value.empty() ? std::string() : RegString(name, value);
}

}  // namespace

std::string PciInstanceLines(const PciInstance& device) {
    return RegKey("SYSTEM\\CurrentControlSet\\Enum\\PCI\\" + device.strDeviceId + "\\" + device.strInstanceId) +
           OptionalString("ClassGUID", device.strClassGuid) + OptionalString("Service", device.strService) +
           OptionalString("DeviceDesc", device.strDeviceDesc) + OptionalString("Driver", device.strDriver) +
           OptionalString("Mfg", device.strMfg);
}

std::string AcpiInstanceLines(const AcpiInstance& device) {
    std::string lines =
        RegKey("SYSTEM\\CurrentControlSet\\Enum\\ACPI\\" + device.strDeviceId + "\\" + device.strInstanceId) +
        OptionalString("ClassGUID", device.strClassGuid) + OptionalString("Service", device.strService) +
        OptionalString("DeviceDesc", device.strDeviceDesc);
    if (!device.vecHardwareIds.empty()) lines += RegMultiString("HardwareID", device.vecHardwareIds);
    return lines;
}

std::string ServiceLines(const std::string& service, const std::string& imagePath) {
    return RegKey("SYSTEM\\CurrentControlSet\\services\\" + service) + RegExpandString("ImagePath", imagePath);
}

std::string ClassKeyLines(const std::string& driver, const std::string& infPath) {
    return RegKey("SYSTEM\\CurrentControlSet\\Control\\Class\\" + driver) + RegString("InfPath", infPath);
}

std::string DriverInf(const std::string& classGuid, const std::string& catalogFile,
                      const std::vector<std::string>& hardwareIds) {
    std::string text = "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nClassGuid=" + classGuid + "\r\n";
    if (!catalogFile.empty()) text += "CatalogFile=" + catalogFile + "\r\n";
    text += "DriverVer=01/02/2024,1.2.3.4\r\n\r\n[Manufacturer]\r\n%Mfg%=Models,NTx86,NTamd64\r\n\r\n";
    for (const char* decoration : {"Models.NTx86", "Models.NTamd64"}) {
        text += std::string("[") + decoration + "]\r\n";
        for (const std::string& id : hardwareIds) text += "%Desc%=Install," + id + "\r\n";
        text += "\r\n";
    }
    text += "[Install]\r\nCopyFiles=Files\r\n\r\n[Install.Services]\r\nAddService=svc,2,Service\r\n\r\n"
            "[Strings]\r\nMfg=\"Maker\"\r\nDesc=\"A device\"\r\n";
    return text;
}

}  // namespace test
