// Every way a scan or a copy step can fail, one row each, on one machine:
// two PCI devices and one ACPI device that all succeed unless the row breaks
// one thing. A row pins the exit code, every log line and every file written,
// so a failure branch that changes, or a message that changes, fails its row.
#include "support/device_fixtures.h"
#include "support/run_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>

namespace {

using namespace test;

const std::string kDrivers = std::string(kInstallFolder) + "/Tessaro/Drivers/";
const std::string kCatroot = "drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/";
const std::string kCatrootPath = "C:\\Windows\\System32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
const std::string kInstallPath = "C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\";
const char kBadName[] = "Reason: The filename, directory name, or volume label syntax is incorrect.\r";
const char kAccessDenied[] = "Reason: Access is denied.\r";

// What a row may change of the machine; every field starts as the machine
// on which all three devices succeed.
struct Machine {
    MachineOptions options;
    std::string strNicService = "e1d";
    bool bNicImagePath = true;
    std::string strNicCatalogFile = "e1d.cat";  // in the NIC's INF
    bool bNicCatalogInStore = true;
    std::string strUsbService = "usbxhci";
    std::string strUsbImagePath = "\\SystemRoot\\System32\\drivers\\usbxhci.sys";
    std::string strUsbInfName = "oem9.inf";
    std::string strUsbCatalogFile = "usbx.cat";  // in the USB controller's INF
    bool bUsbCatalogInStore = true;
    std::vector<std::string> faults;
};

struct Row {
    const char* pszName;
    std::function<void(Machine&)> change;
    int nExitCode;
    // Log lines after the banner; the three devices' blocks are below.
    std::function<std::vector<std::string>()> log;
    // Files written below the driver folders: path -> bytes.
    std::function<std::map<std::string, std::string>()> written;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.pszName; }

using Lines = std::vector<std::string>;
Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines kNicStart = {"Copying files for device NIC", "ImagePath is: \\SystemRoot\\System32\\drivers\\e1d.sys",
                         "INF Filename is: oem3.inf"};
const Lines kSuccess = {"Success", ""};
const Lines kFailed = {"Failed", ""};
const Lines kNic = kNicStart + kSuccess;
const Lines kSata = {"Copying files for device SATA", "ImagePath is: System32\\drivers\\storahci.sys",
                     "INF Filename is: oem5.inf", "Success", ""};
const Lines kUsbStart = {"Copying files for device USB xHCI",
                         "ImagePath is: \\SystemRoot\\System32\\drivers\\usbxhci.sys",
                         "INF Filename is: C:\\Windows\\Inf\\oem9.inf"};
const Lines kUsb = kUsbStart + kSuccess;

using Files = std::map<std::string, std::string>;
const Files kNicFiles = {{"Network/e1d/", ""},
                         {"Network/e1d/e1d.sys", "e1d driver"},
                         {"Network/e1d/e1d.inf", "oem3.inf"},
                         {"Network/e1d/e1d.cat", "e1d catalog"}};
const Files kSataFiles = {
    {"Disk/storahci/", ""}, {"Disk/storahci/storahci.sys", "ahci driver"}, {"Disk/storahci/storahci.inf", "oem5.inf"}};
const Files kUsbFiles = {{"USB/usbxhci/", ""},
                         {"USB/usbxhci/usbxhci.sys", "xhci driver"},
                         {"USB/usbxhci/usbxhci.inf", "oem9.inf"},
                         {"USB/usbxhci/usbx.cat", "xhci catalog"}};
Files operator+(Files a, const Files& b) {
    a.insert(b.begin(), b.end());
    return a;
}
Files Without(Files files, const std::string& path) {
    files.erase(path);
    return files;
}

Files AllFiles() { return kNicFiles + kSataFiles + kUsbFiles; }

std::vector<Row> Rows() {
    const auto noChange = [](Machine&) {};
    const auto fault = [](const char* pszRule) { return [=](Machine& m) { m.faults.push_back(pszRule); }; };
    return {
        {"AllSucceed", noChange, 0, [] { return kNic + kSata + kUsb; }, AllFiles},

        // The walks.
        {"PciRootInfoUnreadable", fault("RegQueryInfoKeyW@PCI=5"), 4,
         [] { return Lines{"Failed to query devices, reason: Access is denied.\r", ""}; }, [] { return Files(); }},
        {"AcpiRootUnopenable", fault("RegOpenKeyExW@Enum\\ACPI=5"), 4,
         [] { return kNic + kSata + Lines{"Failed to query devices, reason: Access is denied.\r", ""}; },
         [] { return kNicFiles + kSataFiles; }},
        {"PciDeviceKeyUnopenableWalkGoesOn", fault("RegOpenKeyExW@DEV_15B8=5x1"), 0,
         [] { return Lines{"Failed to open class subkey from the hardware enumeration key"} + kSata + kUsb; },
         [] { return kSataFiles + kUsbFiles; }},
        {"AcpiDeviceKeyUnopenable", fault("RegOpenKeyExW@PNP0D10=5x1"), 0,
         [] { return kNic + kSata + Lines{"Failed to open class subkey from the ACPI hardware enumeration key"}; },
         [] { return kNicFiles + kSataFiles; }},
        // The name at index 0 is not read: the list moves up, and the last
        // index finds no name.
        {"PciDeviceIdUnreadable", fault("RegEnumKeyExW@DEV_15B8=234x1"), 0,
         [] { return kSata + Lines{"Failed to get subkey name from the hardware enumeration key"} + kUsb; },
         [] { return kSataFiles + kUsbFiles; }},
        {"AcpiDeviceIdUnreadable", fault("RegEnumKeyExW@PNP0D10=234x1"), 0,
         [] { return kNic + kSata + Lines{"Failed to get subkey name from the ACPI hardware enumeration key"}; },
         [] { return kNicFiles + kSataFiles; }},
        // Closing is never checked: keys that cannot be closed change nothing.
        {"KeysThatCannotBeClosed", fault("RegCloseKey=6"), 0, [] { return kNic + kSata + kUsb; }, AllFiles},

        // The service binary.
        {"MissingImagePathCopiesTheWindowsFolder", [](Machine& m) { m.bNicImagePath = false; }, 4,
         [] {
             return Lines{"Copying files for device NIC", "ImagePath is: ", "Failed to copy driver file C:\\Windows\\",
                          kAccessDenied, ""} +
                    kFailed + kSata;
         },
         [] { return Files{{"Network/e1d/", ""}} + kSataFiles; }},

        // The PCI catalog.
        {"PciCatalogNotInStore", [](Machine& m) { m.bNicCatalogInStore = false; }, 0,
         [] { return kNic + kSata + kUsb; }, [] { return Without(AllFiles(), "Network/e1d/e1d.cat"); }},
        {"PciInfUnloadableForCatalog", fault("CreateFileW@Inf\\oem3.inf=5"), 4,
         [] { return kNicStart + Lines{"Failed to open inf file C:\\Windows\\Inf\\oem3.inf"} + kFailed + kSata; },
         [] { return Without(kNicFiles + kSataFiles, "Network/e1d/e1d.cat"); }},
        {"PciCatalogNamedAfterADevice", [](Machine& m) { m.strNicCatalogFile = "NUL"; }, 4,
         [] {
             return kNicStart + Lines{"Failed to copy CAT file " + kCatrootPath + "oem3.cat", kBadName, ""} + kFailed +
                    kSata;
         },
         [] { return Without(kNicFiles + kSataFiles, "Network/e1d/e1d.cat"); }},
        {"PciCatalogWithTrailingDot", [](Machine& m) { m.strNicCatalogFile = "e1d.cat."; }, 4,
         [] {
             return kNicStart + Lines{"Failed to copy CAT file " + kCatrootPath + "oem3.cat", kBadName, ""} + kFailed +
                    kSata;
         },
         [] { return Without(kNicFiles + kSataFiles, "Network/e1d/e1d.cat"); }},
        {"ServiceNameWithTrailingSpace", [](Machine& m) { m.strNicService = "e1d "; }, 4,
         [] {
             return Lines{"Copying files for device NIC",
                          "Failed to create target folder for device driver: " + kInstallPath + "Network\\e1d "} +
                    kFailed + kSata;
         },
         [] { return kSataFiles; }},

        // The ACPI INF and catalog.
        {"AcpiCatalogNotInStore", [](Machine& m) { m.bUsbCatalogInStore = false; }, 0,
         [] { return kNic + kSata + kUsb; }, [] { return Without(AllFiles(), "USB/usbxhci/usbx.cat"); }},
        {"AcpiCatalogOfANonOemInfComesFromItsOwnName", [](Machine& m) { m.strUsbInfName = "usbvendor.inf"; }, 0,
         [] {
             Lines lines = kNic + kSata + kUsb;
             lines[lines.size() - 3] = "INF Filename is: C:\\Windows\\Inf\\usbvendor.inf";
             return lines;
         },
         [] {
             Files files = AllFiles();
             files["USB/usbxhci/usbxhci.inf"] = "usbvendor.inf";
             files["USB/usbxhci/usbx.cat"] = "catalog under its own name";
             return files;
         }},
        {"AcpiTargetInfUnloadable", fault("CreateFileW@usbxhci\\usbxhci.inf=5"), 4,
         [] {
             return kNic + kSata + kUsbStart +
                    Lines{"Failed to open ACPI target inf file " + kInstallPath + "USB\\usbxhci\\usbxhci.inf"} + kFailed;
         },
         [] { return Without(AllFiles(), "USB/usbxhci/usbx.cat"); }},
        {"AcpiServiceNamedAfterADevice", [](Machine& m) { m.strUsbService = "NUL"; }, 4,
         [] {
             return kNic + kSata +
                    Lines{"Copying files for device USB xHCI",
                          "Failed to create target folder for device driver: " + kInstallPath + "USB\\NUL"} +
                    kFailed;
         },
         [] { return kNicFiles + kSataFiles; }},
        {"AcpiDriverFileNamedAfterADevice",
         [](Machine& m) { m.strUsbImagePath = "\\SystemRoot\\System32\\drivers\\COM1.sys"; }, 4,
         [] {
             return kNic + kSata +
                    Lines{"Copying files for device USB xHCI", "ImagePath is: \\SystemRoot\\System32\\drivers\\COM1.sys",
                          "Failed to copy driver file C:\\Windows\\System32\\drivers\\COM1.sys", kBadName, ""} +
                    kFailed;
         },
         [] { return kNicFiles + kSataFiles + Files{{"USB/usbxhci/", ""}}; }},
        {"AcpiCatalogClimbingOut", [](Machine& m) { m.strUsbCatalogFile = "..\\..\\usbx.cat"; }, 4,
         [] {
             return kNic + kSata + kUsbStart +
                    Lines{"Failed to copy CAT file " + kCatrootPath + "oem9.cat", kBadName, ""} + kFailed;
         },
         [] { return Without(AllFiles(), "USB/usbxhci/usbx.cat"); }},

        // Windows XP has no catalog step.
        {"NoCatalogsOnWindowsXp",
         [](Machine& m) {
             m.options.b64BitWindows = false;
             m.options.bX64Target = false;
             m.options.nMajorVersion = 5;
         },
         0, [] { return kNic + kSata + kUsb; },
         [] { return Without(Without(AllFiles(), "Network/e1d/e1d.cat"), "USB/usbxhci/usbx.cat"); }},
    };
}

class FailureBranchTest : public ::testing::TestWithParam<Row> {
protected:
    void Build(const Machine& m) {
        BuildMachine(image, m.options);
        const std::string drivers = "drive_c/Windows/System32/drivers/";
        const std::string inf = "drive_c/Windows/Inf/";
        image.AddRawFile(drivers + "e1d.sys", "e1d driver");
        image.AddRawFile(drivers + "storahci.sys", "ahci driver");
        image.AddRawFile(drivers + "usbxhci.sys", "xhci driver");
        image.AddRawFile(inf + "oem3.inf", DriverInf(kNetGuid, m.strNicCatalogFile, {"PCI\\VEN_8086&DEV_15B8"}));
        image.AddRawFile(inf + "oem5.inf", DriverInf(kHdcGuid, "", {"PCI\\VEN_8086&DEV_A352"}));
        image.AddRawFile(inf + m.strUsbInfName, DriverInf(kUsbGuid, m.strUsbCatalogFile, {"ACPI\\PNP0D10"}));
        if (m.bNicCatalogInStore) image.AddRawFile(kCatroot + "oem3.cat", "e1d catalog");
        if (m.bUsbCatalogInStore) image.AddRawFile(kCatroot + "oem9.cat", "xhci catalog");
        image.AddRawFile(kCatroot + "usbvendor.cat", "catalog under the INF's name");
        image.AddRawFile(kCatroot + "usbx.cat", "catalog under its own name");

        const std::string netDriver = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
        const std::string hdcDriver = "{4d36e96a-e325-11ce-bfc1-08002be10318}\\0000";
        std::string reg = PciInstanceLines({"VEN_8086&DEV_15B8", "3&1", kNetGuid, m.strNicService, "NIC", netDriver,
                                            "@oem3.inf,%intel%;Intel"});
        reg += PciInstanceLines({"VEN_8086&DEV_A352", "3&F", kHdcGuid, "storahci", "SATA", hdcDriver,
                                 "@oem5.inf,%intel%;Intel"});
        reg += AcpiInstanceLines({"PNP0D10", "0", kUsbGuid, m.strUsbService, "USB xHCI", {"ACPI\\PNP0D10"}});
        reg += ClassKeyLines(netDriver, "oem3.inf") + ClassKeyLines(hdcDriver, "oem5.inf");
        reg += m.bNicImagePath ? ServiceLines(m.strNicService, "\\SystemRoot\\System32\\drivers\\e1d.sys")
                               : RegKey("SYSTEM\\CurrentControlSet\\services\\" + m.strNicService);
        reg += ServiceLines("storahci", "System32\\drivers\\storahci.sys");
        reg += ServiceLines(m.strUsbService, m.strUsbImagePath);
        image.AddRegistry("20-devices.reg", reg);
    }

    TestImage image;
};

TEST_P(FailureBranchTest, ExitCodeLogAndFilesWritten) {
    const Row& row = GetParam();
    Machine machine;
    row.change(machine);
    Build(machine);
    std::vector<std::string> args;
    for (const std::string& rule : machine.faults) args.insert(args.end(), {"--fault", rule});

    const auto before = image.Snapshot();
    const RunOutcome run = RunDravolin(image.Root(), args);

    EXPECT_EQ(run.nExitCode, row.nExitCode);
    const char* arch = machine.options.b64BitWindows ? "x64" : "x86";
    const Lines banner = {"Tessaro Dravolin - Driver Copy Utility 1.2 - Copyright (c) Tessaro. All rights reserved.",
                          std::string("WinPE component is ") + arch,
                          "IsWow64Process executed successfully from kernel32.dll",
                          std::string("Operating system is ") + arch};
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog), banner + row.log());

    // Every change is a file or folder below a device folder; INF copies are
    // named by the INF they came from.
    const auto after = image.Snapshot();
    Files written;
    for (const auto& entry : after) {
        const auto it = before.find(entry.first);
        if (it != before.end() && it->second == entry.second) continue;
        ASSERT_EQ(entry.first.compare(0, kDrivers.size(), kDrivers), 0) << "written outside: " << entry.first;
        std::string bytes = entry.second;
        for (const char* pszInf : {"oem3.inf", "oem5.inf", "oem9.inf", "usbvendor.inf"}) {
            if (image.Exists("drive_c/Windows/Inf/" + std::string(pszInf)) &&
                bytes == image.Read("drive_c/Windows/Inf/" + std::string(pszInf))) {
                bytes = pszInf;
            }
        }
        written[entry.first.substr(kDrivers.size())] = bytes;
    }
    for (const char* folder : {"Disk/", "Network/", "USB/"}) written.erase(folder);
    EXPECT_EQ(written, row.written());
    for (const auto& entry : before) EXPECT_EQ(after.count(entry.first), 1u) << "removed: " << entry.first;
}

INSTANTIATE_TEST_SUITE_P(Scans, FailureBranchTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& rowInfo) { return std::string(rowInfo.param.pszName); });

}  // namespace
