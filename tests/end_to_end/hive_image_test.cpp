// Runs on images whose registry is binary hive files: the image layout with
// registry/SYSTEM and SOFTWARE, a mounted Windows volume, .reg overlays,
// broken hives, and the read-only mode that writes the drivers elsewhere.
#include "support/device_fixtures.h"
#include "support/hive_log_writer.h"
#include "support/hive_writer.h"
#include "support/run_capture.h"
#include "support/test_image.h"
#include "reg_file_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>

namespace {

using namespace test;

const char kFatal[] =
    "Tessaro Dravolin - Driver Copy Utility - Copyright (c) Tessaro. All rights reserved.\n"
    "Fatal Error: MFC initialization failed\n";
const char kCatroot[] = "Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/";

// The .reg lines and files of one network adapter whose driver is complete,
// its files below `drive` ("drive_c/" in the image layout, "" on a volume).
std::string AddNetworkAdapter(TestImage& image, const std::string& drive, const std::string& service,
                              const std::string& deviceId, const std::string& controlSet = "CurrentControlSet") {
    const std::string inf = "oem" + service + ".inf";
    image.AddRawFile(drive + "Windows/System32/drivers/" + service + ".sys", service + " driver");
    image.AddRawFile(drive + "Windows/Inf/" + inf, DriverInf(kNetGuid, service + ".cat", {"PCI\\" + deviceId}));
    image.AddRawFile(drive + kCatroot + "oem" + service + ".cat", service + " catalog");
    const std::string classKey = std::string(kNetGuid) + "\\" + service;
    std::string reg = PciInstanceLines({deviceId, "3&1", kNetGuid, service, "Adapter " + service, classKey,
                                        "@" + inf + ",%maker%;Maker"}) +
                      ClassKeyLines(classKey, inf) +
                      ServiceLines(service, "\\SystemRoot\\System32\\drivers\\" + service + ".sys");
    for (size_t at = 0; (at = reg.find("CurrentControlSet", at)) != std::string::npos; at += controlSet.size()) {
        reg.replace(at, 17, controlSet);
    }
    return reg;
}

// Turns an image-layout test image into a mounted Windows volume: the
// contents of drive_c/ at the root and the hives in Windows\System32\config,
// spelt in other cases than Windows spells them.
void MakeVolume(TestImage& image) {
    const std::string drive = image.HostPath("drive_c");
    DIR* d = opendir(drive.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        ASSERT_EQ(std::rename((drive + "/" + name).c_str(), image.HostPath(name).c_str()), 0) << name;
    }
    closedir(d);
    ASSERT_EQ(std::remove(drive.c_str()), 0);
    image.AddFolder("Windows/System32/CONFIG");
    for (const char* hive : {"SYSTEM", "SOFTWARE"}) {
        const std::string target = image.HostPath(std::string("Windows/System32/CONFIG/") + (hive[1] == 'Y' ? "system" : "Software"));
        ASSERT_EQ(std::rename(image.HostPath(std::string("registry/") + hive).c_str(), target.c_str()), 0);
    }
    ASSERT_EQ(std::remove(image.HostPath("registry").c_str()), 0);
}

// Files and folders below a path (relative to it), with their bytes.
std::map<std::string, std::string> FilesBelow(const TestImage& image, const std::string& prefix) {
    std::map<std::string, std::string> files;
    for (const auto& entry : image.Snapshot()) {
        if (entry.first.rfind(prefix, 0) == 0) files[entry.first.substr(prefix.size())] = entry.second;
    }
    return files;
}

const std::string kDrivers = std::string(kInstallFolder) + "/Tessaro/Drivers/";

TEST(HiveImage, HivesGiveTheSameRunAsTheRegFilesTheyWereMadeFrom) {
    TestImage fromReg;
    TestImage fromHives;
    for (TestImage* image : {&fromReg, &fromHives}) {
        BuildMachine(*image);
        image->AddRegistry("20-devices.reg", AddNetworkAdapter(*image, "drive_c/", "e1d", "VEN_8086&DEV_15B8") +
                                                 AddNetworkAdapter(*image, "drive_c/", "rtk", "VEN_10EC&DEV_8168"));
    }
    fromHives.ConvertRegistryToHives();
    ASSERT_FALSE(fromHives.Exists("registry/00-machine.reg"));

    const RunOutcome expected = RunDravolin(fromReg.Root());
    ASSERT_EQ(expected.nExitCode, 0) << expected.strLog;
    const RunOutcome run = RunDravolin(fromHives.Root());
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_EQ(run.strConsole, expected.strConsole);
    EXPECT_EQ(run.strLog, expected.strLog);
    EXPECT_EQ(run.strErrors, "");
    EXPECT_EQ(FilesBelow(fromHives, kDrivers), FilesBelow(fromReg, kDrivers));
    EXPECT_EQ(FilesBelow(fromHives, kDrivers).count("Network/rtk/rtk.inf"), 1u);
}

TEST(HiveImage, AWindowsVolumeReadsTheControlSetThatSelectCurrentNames) {
    TestImage image;
    BuildMachine(image);
    // ControlSet001 is an older configuration with another adapter in it.
    image.AddRegistry("20-devices.reg", AddNetworkAdapter(image, "drive_c/", "e1d", "VEN_8086&DEV_15B8") +
                                            AddNetworkAdapter(image, "drive_c/", "old", "VEN_0001&DEV_0001",
                                                              "ControlSet001"));
    image.ConvertRegistryToHives(2);
    MakeVolume(image);

    const RunOutcome run = RunDravolin(image.Root());
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors << run.strLog;
    const auto written = FilesBelow(image, "Program Files/Tessaro/Pelvane/Tessaro/Drivers/");
    EXPECT_EQ(written.count("Network/e1d/e1d.sys"), 1u);
    EXPECT_EQ(written.count("Network/old/"), 0u);
    EXPECT_NE(run.strLog.find("Copying files for device Adapter e1d"), std::string::npos);
    EXPECT_EQ(run.strLog.find("Adapter old"), std::string::npos);
}

TEST(HiveImage, ARegOverlayAddsTheBuildersKeyToTheHives) {
    TestImage image;
    MachineOptions options;
    options.bInstallKey = false;
    BuildMachine(image, options);
    image.AddRegistry("20-devices.reg", AddNetworkAdapter(image, "drive_c/", "e1d", "VEN_8086&DEV_15B8"));
    image.ConvertRegistryToHives();
    ASSERT_EQ(RunDravolin(image.Root()).nExitCode, 2);

    image.AddRegistry("50-builder.reg", RegKey("SOFTWARE\\Tessaro\\Pelvane") +
                                            RegString("InstallDir", "C:\\Program Files\\Tessaro\\Pelvane"));
    const RunOutcome run = RunDravolin(image.Root());
    EXPECT_EQ(run.nExitCode, 0) << run.strLog;
    EXPECT_EQ(FilesBelow(image, kDrivers).count("Network/e1d/e1d.inf"), 1u);
}

// A broken registry stops the run before it starts: exit code 1 and a reason
// on standard error that names the file.
struct BrokenHiveCase {
    const char* name;
    void (*breakImage)(TestImage& image);
    const char* file;  // below the image root
    const char* reason;
};

std::string SystemWith(const std::string& extraLines, unsigned nControlSet) {
    return HiveFromRegLines(RegKey("SYSTEM\\CurrentControlSet\\Enum\\PCI") + extraLines, "SYSTEM", nControlSet);
}

const BrokenHiveCase kBrokenHives[] = {
    {"NotAHive", [](TestImage& image) { image.AddRawFile("registry/SYSTEM", std::string(8192, 'x')); },
     "registry/SYSTEM", "regf"},
    {"BadChecksum",
     [](TestImage& image) {
         std::string hive = image.Read("registry/SOFTWARE");
         hive[48] ^= 1;
         image.AddRawFile("registry/SOFTWARE", hive);
     },
     "registry/SOFTWARE", "checksum"},
    {"TruncatedBins",
     [](TestImage& image) { image.AddRawFile("registry/SYSTEM", image.Read("registry/SYSTEM").substr(0, 4200)); },
     "registry/SYSTEM", "not a registry hive that can be read"},
    {"NoSelect", [](TestImage& image) { image.AddRawFile("registry/SYSTEM", SystemWith("", 0)); }, "registry/SYSTEM",
     "has no Select key"},
    {"CurrentIsText",
     [](TestImage& image) {
         image.AddRawFile("registry/SYSTEM", SystemWith(RegKey("SYSTEM\\Select") + RegString("Current", "1"), 1));
     },
     "registry/SYSTEM", "Select has no Current value of type REG_DWORD"},
    {"CurrentNamesNoControlSet",
     [](TestImage& image) {
         image.AddRawFile("registry/SYSTEM", SystemWith(RegKey("SYSTEM\\Select") + RegDword("Current", 3), 1));
     },
     "registry/SYSTEM", "Select Current is 3, but the hive has no ControlSet003"},
};

class BrokenHiveTest : public ::testing::TestWithParam<BrokenHiveCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, BrokenHiveTest, ::testing::ValuesIn(kBrokenHives),
                         [](const ::testing::TestParamInfo<BrokenHiveCase>& param) { return param.param.name; });

TEST_P(BrokenHiveTest, StopsWithExitCode1AndNamesTheFile) {
    TestImage image;
    BuildMachine(image);
    image.ConvertRegistryToHives();
    GetParam().breakImage(image);
    const RunOutcome run = RunDravolin(image.Root());
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_EQ(run.strConsole, kFatal);
    EXPECT_FALSE(run.bLogWritten);
    EXPECT_NE(run.strErrors.find(image.HostPath(GetParam().file)), std::string::npos) << run.strErrors;
    EXPECT_NE(run.strErrors.find(GetParam().reason), std::string::npos) << run.strErrors;
}

}  // namespace

namespace {

// A Windows volume made of hives, with one network adapter; the builder is
// installed in C:\Program Files\Tessaro\Pelvane (x64) or not at all.
void BuildVolume(TestImage& image, bool bBuilderInstalled) {
    MachineOptions options;
    options.bInstallKey = bBuilderInstalled;
    options.bDriversFolder = bBuilderInstalled;
    options.bX64Target = bBuilderInstalled;
    BuildMachine(image, options);
    image.AddRegistry("20-devices.reg", AddNetworkAdapter(image, "drive_c/", "e1d", "VEN_8086&DEV_15B8"));
    image.ConvertRegistryToHives();
    MakeVolume(image);
}

const char kVolumeDrivers[] = "Program Files/Tessaro/Pelvane/Tessaro/Drivers/";

TEST(ReadOnlyImage, ANamedVariantRunsAsIfInstalledAndOnlyTheOutputFolderIsWritten) {
    TestImage installed;
    BuildVolume(installed, true);
    const RunOutcome expected = RunDravolin(installed.Root());
    ASSERT_EQ(expected.nExitCode, 0) << expected.strErrors << expected.strLog;

    TestImage image;
    BuildVolume(image, false);
    const auto before = image.Snapshot();
    TestImage output;  // a host folder of the user's choice
    const RunOutcome run = RunDravolin(image.Root(), {"--output", output.HostPath("drivers"), "--variant", "x64"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors;
    EXPECT_EQ(run.strErrors, "");
    EXPECT_EQ(run.strConsole, expected.strConsole);
    EXPECT_EQ(run.strLog, expected.strLog);
    EXPECT_EQ(image.Snapshot(), before);
    EXPECT_EQ(FilesBelow(output, "drivers/"), FilesBelow(installed, kVolumeDrivers));
    EXPECT_EQ(FilesBelow(output, "drivers/").count("Network/e1d/e1d.sys"), 1u);

    // The architecture check still holds: x86 drivers for a 64-bit Windows
    // are refused.
    const RunOutcome x86 = RunDravolin(image.Root(), {"--output", output.HostPath("x86"), "--variant", "x86"});
    EXPECT_EQ(x86.nExitCode, 2);
    EXPECT_NE(x86.strLog.find("WinPE component is x86"), std::string::npos) << x86.strLog;
    EXPECT_NE(x86.strLog.find("Cannot copy 64 bit drivers to a 32 bit PE installation"), std::string::npos);
    EXPECT_EQ(image.Snapshot(), before);
}

TEST(ReadOnlyImage, AnInstalledBuildersDriverFoldersGoToTheOutputFolder) {
    TestImage image;
    BuildMachine(image);
    image.AddRegistry("20-devices.reg", AddNetworkAdapter(image, "drive_c/", "e1d", "VEN_8086&DEV_15B8"));
    image.ConvertRegistryToHives();
    const auto before = image.Snapshot();
    TestImage output;
    const RunOutcome run = RunDravolin(image.Root(), {"--output", output.HostPath("out")});
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors << run.strLog;
    EXPECT_EQ(image.Snapshot(), before);
    const auto written = FilesBelow(output, "out/");
    EXPECT_EQ(written.at("Network/e1d/e1d.inf"), image.Read("drive_c/Windows/Inf/oeme1d.inf"));
    EXPECT_EQ(written.at("Network/e1d/e1d.cat"), "e1d catalog");
    EXPECT_EQ(written.count("Disk/"), 1u);
}

TEST(ReadOnlyImage, UnusableOptionsStopWithExitCode1) {
    TestImage image;
    BuildVolume(image, false);
    TestImage output;
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--variant", "x64"}, "--variant needs --output DIR"},
        {{"--output", output.HostPath("o"), "--variant", "arm64"}, "--variant takes x86 or x64"},
        {{"--output", output.HostPath("missing/o")}, "cannot be created"},
    };
    for (const auto& c : cases) {
        const RunOutcome run = RunDravolin(image.Root(), c.args);
        EXPECT_EQ(run.nExitCode, 1) << c.reason;
        EXPECT_NE(run.strErrors.find(c.reason), std::string::npos) << run.strErrors;
    }
}

}  // namespace

namespace {

HiveBytes AsHiveBytes(const std::string& bytes) { return HiveBytes(bytes.begin(), bytes.end()); }
std::string AsString(const HiveBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A machine whose SYSTEM hive is dirty: the network adapter's keys were
// added in ControlSet001 (its files are on disk), but only the logs hold
// them; registry/SYSTEM still has the hive from before.
class DirtyHiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildMachine(image);
        image.ConvertRegistryToHives();
        m_old = AsHiveBytes(image.Read("registry/SYSTEM"));
        host::RegistryTree added;
        std::string error;
        ASSERT_TRUE(host::ApplyRegText("Windows Registry Editor Version 5.00\r\n" +
                                           AddNetworkAdapter(image, "drive_c/", "e1d", "VEN_8086&DEV_15B8"),
                                       "adapter", added, &error))
            << error;
        HiveWriter writer(AsString(m_old));
        writer.AddTree(*added.Find(L"SYSTEM\\CurrentControlSet"), "ControlSet001");
        m_new = AsHiveBytes(writer.Bytes());
    }
    // Writes the dirty hive and its logs, the logs under the given names.
    DirtyHive WriteDirtyHive(const HiveLogOptions& options, const std::vector<std::string>& logNames) {
        DirtyHive dirty = MakeDirtyHive(m_old, m_new, options);
        image.AddRawFile("registry/SYSTEM", AsString(dirty.hive));
        for (size_t i = 0; i < logNames.size() && i < dirty.logs.size(); ++i) {
            image.AddRawFile("registry/" + logNames[i], AsString(dirty.logs[i]));
        }
        return dirty;
    }
    bool AdapterCopied() const { return FilesBelow(image, kDrivers).count("Network/e1d/e1d.sys") == 1; }

    TestImage image;
    HiveBytes m_old;
    HiveBytes m_new;
};

struct LogCase {
    const char* name;
    HiveLogOptions options;
    std::vector<std::string> logNames;
};

HiveLogOptions SplitOverTwoLogs() {
    HiveLogOptions options;
    options.nEntries = 3;
    options.nSecondLogFrom = 2;
    return options;
}

class DirtyHiveWithLogsTest : public DirtyHiveTest, public ::testing::WithParamInterface<LogCase> {};

INSTANTIATE_TEST_SUITE_P(Logs, DirtyHiveWithLogsTest,
                         ::testing::Values(LogCase{"OneLog", {}, {"system.log1"}},
                                           LogCase{"TwoLogs", SplitOverTwoLogs(), {"SYSTEM.LOG1", "System.Log2"}}),
                         [](const ::testing::TestParamInfo<LogCase>& param) { return param.param.name; });

TEST_P(DirtyHiveWithLogsTest, TheLogsAddTheDeviceThatTheRunCopiesAndNothingIsWritten) {
    WriteDirtyHive(GetParam().options, GetParam().logNames);
    const auto before = image.Snapshot();
    TestImage output;
    const RunOutcome run = RunDravolin(image.Root(), {"--output", output.HostPath("out")});
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors << run.strLog;
    EXPECT_EQ(run.strErrors, "");
    EXPECT_NE(run.strLog.find("Copying files for device Adapter e1d"), std::string::npos) << run.strLog;
    EXPECT_EQ(output.Read("out/Network/e1d/e1d.sys"), "e1d driver");
    EXPECT_TRUE(image.Snapshot() == before) << "the image changed";
}

TEST_F(DirtyHiveTest, WithoutLogsTheHiveIsReadAsItIsWithAWarning) {
    WriteDirtyHive({}, {});
    const RunOutcome run = RunDravolin(image.Root());
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors << run.strLog;
    EXPECT_NE(run.strErrors.find("dravolin: warning: " + image.HostPath("registry/SYSTEM")), std::string::npos)
        << run.strErrors;
    EXPECT_NE(run.strErrors.find("may be missing"), std::string::npos) << run.strErrors;
    EXPECT_FALSE(AdapterCopied());
}

TEST_F(DirtyHiveTest, ADamagedLogEntryStopsTheReplayThereWithAWarning) {
    // The first of two entries is whole; the second is cut short.
    HiveLogOptions options;
    options.nEntries = 2;
    DirtyHive probe = MakeDirtyHive(m_old, m_new, options);
    ASSERT_EQ(probe.entryOffsets.size(), 2u);
    options.nTruncateLastLogAt = probe.entryOffsets[1] + 700;
    WriteDirtyHive(options, {"SYSTEM.LOG1"});
    const RunOutcome run = RunDravolin(image.Root());
    // The replay stops at the damaged entry; the half-replayed hive does not
    // hold together, so the hive is read as it is on disk.
    EXPECT_EQ(run.nExitCode, 0) << run.strErrors;
    for (const std::string& expected : std::vector<std::string>
         {std::string("replayed 1 log entry up to sequence"), image.HostPath("registry/SYSTEM.LOG1") + ": the entry at offset",
          image.HostPath("registry/SYSTEM") + ": not a registry hive that can be read",
          "it is read as it is on disk, so recent changes may be missing"}) {
        EXPECT_NE(run.strErrors.find(expected), std::string::npos) << expected << "\n" << run.strErrors;
    }
    EXPECT_FALSE(AdapterCopied());
}

}  // namespace
