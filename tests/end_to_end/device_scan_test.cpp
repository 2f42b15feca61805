// Both scans end to end: which devices are copied, what the console and the
// log say, the exact files written, and that nothing else in the image moves.
#include "support/device_fixtures.h"
#include "support/run_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace test;

const char kBanner[] = "Tessaro Dravolin - Driver Copy Utility - Copyright (c) Tessaro. All rights reserved.\n";
const char kClosingLine[] = "Errors occurred copying drivers, please see log file\n";
const std::string kDrivers = std::string(kInstallFolder) + "/Tessaro/Drivers/";
class DeviceScanTest : public ::testing::Test {
protected:
    // A machine whose installation matches it: x64 on 64-bit Windows, x86 on
    // 32-bit Windows.
    void SetUpMachine() {
        MachineOptions options;
        options.b64BitWindows = m_b64Bit;
        options.bX64Target = m_b64Bit;
        BuildMachine(image, options);
    }
    void SetUpMachine(const MachineOptions& options) {
        m_b64Bit = options.b64BitWindows;
        BuildMachine(image, options);
    }
    void AddFile(const std::string& relative, const std::string& bytes) { image.AddRawFile(relative, bytes); }
    RunOutcome Run(const std::vector<std::string>& args = {}) {
        image.AddRegistry("20-devices.reg", registry);
        m_before = image.Snapshot();
        return RunDravolin(image.Root(), args);
    }
    // What the run added or changed in the image, the category folders aside.
    std::map<std::string, std::string> Written() const {
        std::map<std::string, std::string> written;
        for (const auto& entry : image.Snapshot()) {
            auto it = m_before.find(entry.first);
            if (it == m_before.end() || it->second != entry.second) written.insert(entry);
        }
        for (const char* folder : {"Disk/", "Network/", "USB/"}) written.erase(kDrivers + folder);
        return written;
    }
    // Nothing disappears from the image.
    void ExpectNothingRemoved() const {
        const auto after = image.Snapshot();
        for (const auto& entry : m_before) EXPECT_EQ(after.count(entry.first), 1u) << entry.first;
    }
    std::vector<std::string> Log(std::vector<std::string> lines) const {
        const char* arch = m_b64Bit ? "x64" : "x86";
        std::vector<std::string> all = {
            "Tessaro Dravolin - Driver Copy Utility 1.2 - Copyright (c) Tessaro. All rights reserved.",
            std::string("WinPE component is ") + arch, "IsWow64Process executed successfully from kernel32.dll",
            std::string("Operating system is ") + arch};
        all.insert(all.end(), lines.begin(), lines.end());
        return all;
    }

    bool m_b64Bit = true;
    TestImage image;
    std::string registry;
    std::map<std::string, std::string> m_before;
};

// The scenarios that read the same on 32-bit and 64-bit Windows.
class DeviceScanOnBothTest : public DeviceScanTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { m_b64Bit = GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Windows, DeviceScanOnBothTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "64Bit" : "32Bit";
                         });

TEST_P(DeviceScanOnBothTest, PciDevicesOfTheWantedClassesAreCopiedAndAFailureIsReported) {
    SetUpMachine();
    AddFile("drive_c/Windows/System32/drivers/e1d.sys", "e1d driver");
    AddFile("drive_c/Windows/Inf/oem3.inf", DriverInf(kNetGuid, "e1d.cat", {"PCI\\VEN_8086&DEV_15B8"}));
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem3.cat", "e1d catalog");
    AddFile("drive_c/Vendor/storahci.sys", "ahci driver");
    AddFile("drive_c/Windows/System32/drivers/iaStorAC.sys", "raid driver");
    AddFile("drive_c/Windows/Inf/oem7.inf", DriverInf(kScsiGuid, "iaStorAC.cat", {"PCI\\VEN_8086&DEV_2822"}));
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem7.cat", "raid catalog");

    registry += PciInstanceLines({"VEN_1002&DEV_67DF", "4&1", kDisplayGuid, "amdkmdag", "Radeon", "{d}\\0000", ""});
    registry += PciInstanceLines({"VEN_8086&DEV_15B8", "3&1", kNetGuid, "e1d",
                                  "@oem3.inf,%e1d.devicedesc%;Intel(R) Ethernet Connection I219-V",
                                  "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001", "@oem3.inf,%intel%;Intel"});
    registry += PciInstanceLines({"VEN_8086&DEV_15B8", "3&2", kNetGuid, "e1d", "Second port",
                                  "{4d36e972-e325-11ce-bfc1-08002be10318}\\0002", "@oem3.inf,%intel%;Intel"});
    registry += PciInstanceLines({"VEN_8086&DEV_2822", "3&9", "{4D36E97B-E325-11CE-BFC1-08002BE10318}", "iaStorAC",
                                  "", "{4d36e97b-e325-11ce-bfc1-08002be10318}\\0000", "@oem7.inf,%intel%;Intel"});
    registry += PciInstanceLines({"VEN_8086&DEV_A352", "3&F", kHdcGuid, "storahci", "Standard SATA AHCI;", "", ""});
    registry += ClassKeyLines("{4d36e972-e325-11ce-bfc1-08002be10318}\\0001", "oem3.inf");
    registry += ClassKeyLines("{4d36e972-e325-11ce-bfc1-08002be10318}\\0002", "oem3.inf");
    registry += ServiceLines("e1d", "\\SystemRoot\\System32\\drivers\\e1d.sys");
    registry += ServiceLines("iaStorAC", "System32\\drivers\\iaStorAC.sys");
    registry += ServiceLines("storahci", "\\??\\C:\\Vendor\\storahci.sys");

    const RunOutcome run = Run();
    EXPECT_EQ(run.nExitCode, 4) << run.strLog;
    EXPECT_EQ(run.strConsole, std::string(kBanner) +
                                  "Copying files for device Intel(R) Ethernet Connection I219-V\n"
                                  "Copying files for device Second port\n"
                                  "Copying files for device Unknown device\n"
                                  "Copying files for device \n" + kClosingLine);
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog),
              Log({"Copying files for device Intel(R) Ethernet Connection I219-V",
                   "ImagePath is: \\SystemRoot\\System32\\drivers\\e1d.sys", "INF Filename is: oem3.inf", "Success", "",
                   "Copying files for device Second port", "ImagePath is: \\SystemRoot\\System32\\drivers\\e1d.sys",
                   "INF Filename is: oem3.inf", "Success", "",
                   "Copying files for device Unknown device", "ImagePath is: System32\\drivers\\iaStorAC.sys",
                   "Driver Control Class instance not found, attempting Mfg entry", "INF Filename is: oem7.inf",
                   "Success", "",
                   // No class key and no Mfg: the INF name is empty and the copy fails.
                   "Copying files for device ", "ImagePath is: \\??\\C:\\Vendor\\storahci.sys",
                   "Driver Control Class instance not found, attempting Mfg entry", "INF Filename is: ",
                   "Failed to copy INF file C:\\Windows\\Inf\\", "Reason: Access is denied.\r", "", "Failed", ""}));
    EXPECT_EQ(Written(), (std::map<std::string, std::string>{
                             {kDrivers + "Network/e1d/", ""},
                             {kDrivers + "Network/e1d/e1d.sys", "e1d driver"},
                             {kDrivers + "Network/e1d/e1d.inf", image.Read("drive_c/Windows/Inf/oem3.inf")},
                             {kDrivers + "Network/e1d/e1d.cat", "e1d catalog"},
                             {kDrivers + "Disk/iaStorAC/", ""},
                             {kDrivers + "Disk/iaStorAC/iaStorAC.sys", "raid driver"},
                             {kDrivers + "Disk/iaStorAC/iaStorAC.inf", image.Read("drive_c/Windows/Inf/oem7.inf")},
                             {kDrivers + "Disk/iaStorAC/iaStorAC.cat", "raid catalog"},
                             {kDrivers + "Disk/storahci/", ""},
                             {kDrivers + "Disk/storahci/storahci.sys", "ahci driver"}}));
    ExpectNothingRemoved();
}

TEST_P(DeviceScanOnBothTest, AcpiDevicesTakeTheLastMatchingInfOfTheirOwnClass) {
    SetUpMachine();
    const std::string inf = "drive_c/Windows/Inf/";
    AddFile("drive_c/Windows/System32/drivers/usbxhci.sys", "xhci driver");
    AddFile(inf + "a_usb.inf", DriverInf(kUsbGuid, "first.cat", {"ACPI\\VEN_ABCD&DEV_0001"}));
    AddFile(inf + "b_net.inf", DriverInf(kNetGuid, "net.cat", {"ACPI\\VEN_ABCD&DEV_0001"}));
    AddFile(inf + "c_noclass.inf", "[Version]\r\nCatalogFile=x.cat\r\n");
    AddFile(inf + "oem9.inf", DriverInf("%UsbGuid%", "usbx.cat", {"*PNP0D10"}) + "UsbGuid=\"" + kUsbGuid + "\"\r\n");
    AddFile(inf + "z_other.inf", DriverInf(kUsbGuid, "other.cat", {"ACPI\\VEN_FFFF"}));
    // Of another class and last in the folder: the class filter alone keeps it out.
    AddFile(inf + "zz_net.inf", DriverInf(kNetGuid, "net.cat", {"*PNP0D10"}));
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem9.cat", "xhci catalog");
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/first.cat", "unused");

    registry += AcpiInstanceLines({"PNP0D10", "0", kUsbGuid, "usbxhci", "@usbxhci.inf,%desc%;USB xHCI Controller",
                                   {"ACPI\\VEN_ABCD&DEV_0001", "*PNP0D10"}});
    registry += AcpiInstanceLines({"PNP0D11", "0", kNetGuid, "netx", "Net without ID", {}});
    registry += AcpiInstanceLines({"PNP0C0A", "1", "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}", "battery", "Battery", {"ACPI\\PNP0C0A"}});
    registry += ServiceLines("usbxhci", "\\SystemRoot\\System32\\drivers\\usbxhci.sys");

    const RunOutcome run = Run();
    EXPECT_EQ(run.nExitCode, 0) << run.strLog;
    EXPECT_EQ(run.strConsole, std::string(kBanner) + "Copying files for device USB xHCI Controller\n");
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog),
              Log({"Copying files for device USB xHCI Controller",
                   "ImagePath is: \\SystemRoot\\System32\\drivers\\usbxhci.sys",
                   "INF Filename is: C:\\Windows\\Inf\\oem9.inf", "Success", "",
                   "Failed to query HardwareID for device key SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0D11\\0"}));
    // The "oem" INF's catalog is taken under the INF's own name and stored
    // under the name the INF gives it.
    EXPECT_EQ(Written(), (std::map<std::string, std::string>{
                             {kDrivers + "USB/usbxhci/", ""},
                             {kDrivers + "USB/usbxhci/usbxhci.sys", "xhci driver"},
                             {kDrivers + "USB/usbxhci/usbxhci.inf", image.Read(inf + "oem9.inf")},
                             {kDrivers + "USB/usbxhci/usbx.cat", "xhci catalog"}}));
    ExpectNothingRemoved();
}

TEST_P(DeviceScanOnBothTest, AnAcpiDeviceWithoutMatchingInfFailsTheStage) {
    SetUpMachine();
    AddFile("drive_c/Windows/System32/drivers/acpidev.sys", "driver");
    AddFile("drive_c/Windows/Inf/net.inf", DriverInf(kNetGuid, "", {"ACPI\\OTHER"}));
    registry += AcpiInstanceLines({"VEN_1", "0", kNetGuid, "acpidev", "", {"ACPI\\VEN_1"}});
    registry += ServiceLines("acpidev", "system32\\DRIVERS\\acpidev.sys");

    const RunOutcome run = Run();
    EXPECT_EQ(run.nExitCode, 4);
    EXPECT_EQ(run.strConsole, std::string(kBanner) + "Copying files for device ACPI device\n" + kClosingLine);
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog),
              Log({"Copying files for device ACPI device", "ImagePath is: system32\\DRIVERS\\acpidev.sys",
                   "INF Filename is: ", "Failed to copy INF file ",
                   "Reason: The system cannot find the path specified.\r", "", "Failed", ""}));
}

// Names from the registry and from INF files reach target paths; none of them
// may lead a copy outside Tessaro\Drivers\<category>\<service>\.
TEST_P(DeviceScanOnBothTest, HostileNamesWriteNothingOutsideTheDeviceFolders) {
    SetUpMachine();
    AddFile("drive_c/Windows/System32/drivers/good.sys", "driver");
    AddFile("drive_c/Windows/Inf/oem1.inf", DriverInf(kNetGuid, "..\\..\\..\\evil.cat", {"PCI\\VEN_1"}));
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem1.cat", "catalog");
    const std::string netDriver = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
    registry += ClassKeyLines(netDriver, "oem1.inf");
    const char* const kServices[] = {"..", "a\\..\\..\\b", "c:", "dotted", "evilcat"};
    const char* const kImagePaths[] = {"System32\\drivers\\good.sys", "System32\\drivers\\good.sys",
                                       "System32\\drivers\\good.sys", "System32\\drivers\\..",
                                       "System32\\drivers\\good.sys"};
    for (int i = 0; i < 5; ++i) {
        registry += PciInstanceLines({"VEN_1", std::to_string(i), kNetGuid, kServices[i], "", netDriver,
                                      "@oem1.inf,%m%;M"});
        registry += ServiceLines(kServices[i], kImagePaths[i]);
    }

    const RunOutcome run = Run();
    EXPECT_EQ(run.nExitCode, 4);
    const std::string network = "C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Network\\";
    const std::string badName = "Reason: The filename, directory name, or volume label syntax is incorrect.\r";
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog),
              Log({"Copying files for device Unknown device",
                   "Failed to create target folder for device driver: " + network + "..", "Failed", "",
                   "Copying files for device Unknown device",
                   "Failed to create target folder for device driver: " + network + "a\\..\\..\\b", "Failed", "",
                   "Copying files for device Unknown device",
                   "Failed to create target folder for device driver: " + network + "c:", "Failed", "",
                   "Copying files for device Unknown device", "ImagePath is: System32\\drivers\\..",
                   "Failed to copy driver file C:\\Windows\\System32\\drivers\\..", badName, "", "Failed", "",
                   "Copying files for device Unknown device", "ImagePath is: System32\\drivers\\good.sys",
                   "INF Filename is: oem1.inf",
                   "Failed to copy CAT file C:\\Windows\\System32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\oem1.cat",
                   badName, "", "Failed", ""}));
    EXPECT_EQ(Written(), (std::map<std::string, std::string>{
                             {kDrivers + "Network/dotted/", ""},
                             {kDrivers + "Network/evilcat/", ""},
                             {kDrivers + "Network/evilcat/good.sys", "driver"},
                             {kDrivers + "Network/evilcat/evilcat.inf", image.Read("drive_c/Windows/Inf/oem1.inf")}}));
    ExpectNothingRemoved();
}

TEST_F(DeviceScanTest, UnreadablePciTreeEndsTheRunBeforeTheAcpiScan) {
    SetUpMachine();
    registry += AcpiInstanceLines({"PNP0D10", "0", kUsbGuid, "usbxhci", "USB", {"ACPI\\X"}});
    const RunOutcome run = Run({"--fault", "RegOpenKeyExW@Enum\\PCI=5"});
    EXPECT_EQ(run.nExitCode, 4);
    EXPECT_EQ(run.strConsole, std::string(kBanner) + kClosingLine);
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog), Log({"Failed to query devices, reason: Access is denied.\r", ""}));
}

TEST_F(DeviceScanTest, ACatalogCopyIsTriedTwiceForPciDevices) {
    SetUpMachine();
    AddFile("drive_c/Windows/System32/drivers/e1d.sys", "driver");
    AddFile("drive_c/Windows/Inf/oem3.inf", DriverInf(kNetGuid, "e1d.cat", {"PCI\\VEN_8086"}));
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem3.cat", "catalog");
    registry += PciInstanceLines({"VEN_8086", "1", kNetGuid, "e1d", "NIC", "", "@oem3.inf,%intel%;Intel"});
    registry += ServiceLines("e1d", "System32\\drivers\\e1d.sys");
    const std::vector<std::string> device = {"Copying files for device NIC", "ImagePath is: System32\\drivers\\e1d.sys",
                                             "Driver Control Class instance not found, attempting Mfg entry",
                                             "INF Filename is: oem3.inf"};

    const RunOutcome once = Run({"--fault", "CopyFileW@oem3.cat=32x1"});
    EXPECT_EQ(once.nExitCode, 0);
    std::vector<std::string> success = device;
    success.insert(success.end(), {"Success", ""});
    EXPECT_EQ(LogLinesWithoutStamps(once.strLog), Log(success));
    EXPECT_EQ(image.Read(kDrivers + "Network/e1d/e1d.cat"), "catalog");

    const RunOutcome twice = Run({"--fault", "CopyFileW@oem3.cat=32x2"});
    EXPECT_EQ(twice.nExitCode, 4);
    std::vector<std::string> failure = device;
    failure.insert(failure.end(),
                   {"Failed to copy CAT file C:\\Windows\\System32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\oem3.cat",
                    "Reason: The process cannot access the file because it is being used by another process.\r", "",
                    "Failed", ""});
    EXPECT_EQ(LogLinesWithoutStamps(twice.strLog), Log(failure));
}

TEST_F(DeviceScanTest, On32BitWindowsXpNoCatalogIsCopiedAndX86ModelsMatch) {
    MachineOptions options;
    options.b64BitWindows = false;
    options.bX64Target = false;
    options.nMajorVersion = 5;
    SetUpMachine(options);
    AddFile("drive_c/Windows/System32/drivers/usbx.sys", "driver");
    AddFile("drive_c/Windows/Inf/oem2.inf",
            "[Version]\r\nClassGuid={36FC9E60-C465-11CF-8056-444553540000}\r\nCatalogFile=usbx.cat\r\n"
            "[Manufacturer]\r\nM=Models\r\n[Models.NTx86]\r\nD=Inst,ACPI\\USBX\r\n[Inst]\r\nx=y\r\n");
    AddFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem2.cat", "catalog");
    registry += AcpiInstanceLines({"USBX", "0", kUsbGuid, "usbx", "USB", {"ACPI\\USBX"}});
    registry += ServiceLines("usbx", "System32\\drivers\\usbx.sys");

    const RunOutcome run = Run();
    EXPECT_EQ(run.nExitCode, 0) << run.strLog;
    EXPECT_EQ(Written(), (std::map<std::string, std::string>{
                             {kDrivers + "USB/usbx/", ""},
                             {kDrivers + "USB/usbx/usbx.sys", "driver"},
                             {kDrivers + "USB/usbx/usbx.inf", image.Read("drive_c/Windows/Inf/oem2.inf")}}));
}

}  // namespace
