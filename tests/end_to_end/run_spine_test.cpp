// The run's spine, seen as a user sees it: console, exit code, log, folders.
#include "support/run_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

using test::LogLinesWithoutStamps;
using test::MachineOptions;
using test::RunDravolin;
using test::TestImage;

const char kBanner[] = "Tessaro Dravolin - Driver Copy Utility - Copyright (c) Tessaro. All rights reserved.\n";
const char kLogBanner[] = "Tessaro Dravolin - Driver Copy Utility 1.2 - Copyright (c) Tessaro. All rights reserved.";
const char kClosingLine[] = "Errors occurred copying drivers, please see log file\n";

std::vector<std::string> Lines(std::initializer_list<std::string> lines) { return lines; }

struct SpineCase {
    const char* name;
    MachineOptions machine;
    std::vector<std::string> args;
    int nExitCode;
    std::vector<std::string> log;  // without stamps
};
void PrintTo(const SpineCase& c, std::ostream* os) { *os << c.name; }

class RunSpineTest : public ::testing::TestWithParam<SpineCase> {};

MachineOptions Machine(bool b64Bit, bool bX64Target) {
    MachineOptions options;
    options.b64BitWindows = b64Bit;
    options.bX64Target = bX64Target;
    return options;
}

MachineOptions WithoutInstallKey() {
    MachineOptions options;
    options.bInstallKey = false;
    return options;
}

MachineOptions WithoutDriversFolder() {
    MachineOptions options;
    options.bDriversFolder = false;
    return options;
}

const std::string kFolderFailure = "Failed to create folder: C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\";

const SpineCase kSpineCases[] = {
    {"X64TargetOn64BitWindows", Machine(true, true), {}, 0,
     Lines({kLogBanner, "WinPE component is x64", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x64"})},
    {"X86TargetOn32BitWindows", Machine(false, false), {}, 0,
     Lines({kLogBanner, "WinPE component is x86", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x86"})},
    {"X86TargetOn64BitWindows", Machine(true, false), {}, 2,
     Lines({kLogBanner, "WinPE component is x86", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x64", "Cannot copy 64 bit drivers to a 32 bit PE installation"})},
    {"X64TargetOn32BitWindows", Machine(false, true), {}, 2,
     Lines({kLogBanner, "WinPE component is x64", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x86", "Cannot copy 32 bit drivers to a 64 bit PE installation"})},
    {"MissingInstallKey", WithoutInstallKey(), {}, 2,
     Lines({kLogBanner,
            "Failed to retrieve Pelvane installation directory from registry, has Pelvane been installed ?"})},
    {"WindowsWithoutIsWow64ProcessRefusesX64Target", Machine(false, true),
     {"--fault", "GetProcAddress@IsWow64Process=127"}, 2,
     Lines({kLogBanner, "WinPE component is x64", "Cannot copy 32 bit drivers to a 64 bit PE installation"})},
    {"FailingIsWow64ProcessCountsAs32Bit", Machine(true, false), {"--fault", "IsWow64Process=5"}, 0,
     Lines({kLogBanner, "WinPE component is x86", "Failed to execute IsWow64Process from kernel32.dll"})},
    {"DriversFolderMissing", WithoutDriversFolder(), {}, 3,
     Lines({kLogBanner, "WinPE component is x64", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x64", kFolderFailure + "Disk\\", kFolderFailure + "Network\\",
            kFolderFailure + "USB\\"})},
    // The stages still run without the token; their results give the exit code.
    {"TokenCannotBeOpened", Machine(true, true), {"--fault", "OpenProcessToken=5"}, 0,
     Lines({kLogBanner, "Failed to open the process token, privileges not enabled, reason: Access is denied.\r",
            "", "WinPE component is x64", "IsWow64Process executed successfully from kernel32.dll",
            "Operating system is x64"})},
};

TEST_P(RunSpineTest, ConsoleExitCodeAndLog) {
    const SpineCase& c = GetParam();
    TestImage image;
    test::BuildMachine(image, c.machine);
    const test::RunOutcome run = RunDravolin(image.Root(), c.args);

    EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErrors;
    EXPECT_EQ(run.strConsole, std::string(kBanner) + (c.nExitCode != 0 ? kClosingLine : ""));
    EXPECT_EQ(LogLinesWithoutStamps(run.strLog), c.log);
    EXPECT_EQ(run.strLog.substr(0, 11), "09:05:03 - ");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, RunSpineTest, ::testing::ValuesIn(kSpineCases),
                         [](const ::testing::TestParamInfo<SpineCase>& param) { return param.param.name; });

TEST(RunSpine, CreatesTheThreeCategoryFoldersAndNothingElse) {
    TestImage image;
    test::BuildMachine(image);
    const auto before = image.Snapshot();
    ASSERT_EQ(RunDravolin(image.Root()).nExitCode, 0);

    auto after = image.Snapshot();
    const std::string drivers = std::string(test::kInstallFolder) + "/Tessaro/Drivers/";
    for (const char* folder : {"Disk/", "Network/", "USB/"}) {
        EXPECT_EQ(after.erase(drivers + folder), 1u) << folder;
    }
    EXPECT_EQ(after, before);
}

TEST(RunSpine, FrameworkFailureWithoutImageOrWithBrokenRegistry) {
    const std::string fatal = std::string(kBanner) + "Fatal Error: MFC initialization failed\n";

    const test::RunOutcome noImage = RunDravolin("");
    EXPECT_EQ(noImage.nExitCode, 1);
    EXPECT_EQ(noImage.strConsole, fatal);
    EXPECT_NE(noImage.strErrors.find("no image given"), std::string::npos) << noImage.strErrors;
    EXPECT_FALSE(noImage.bLogWritten);

    TestImage image;
    test::BuildMachine(image);
    image.AddRegistry("50-broken.reg", "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"Name\"=word:1\r\n");
    const test::RunOutcome broken = test::RunDravolinOnLinuxOnlyImage(image.Root());
    EXPECT_EQ(broken.nExitCode, 1);
    EXPECT_EQ(broken.strConsole, fatal);
    EXPECT_NE(broken.strErrors.find("50-broken.reg:4: unrecognised value data"), std::string::npos)
        << broken.strErrors;
    EXPECT_FALSE(broken.bLogWritten);
}

TEST(RunSpine, HelpPrintsUsageAndRunsNothing) {
    const test::RunOutcome run = RunDravolin("", {"--help"});
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_EQ(run.strConsole.rfind("Usage: dravolin --image DIR", 0), 0u) << run.strConsole;
    EXPECT_FALSE(run.bLogWritten);
}

TEST(RunSpine, InstallDirOnAnotherDriveWithoutTrailingBackslash) {
    TestImage image;
    MachineOptions options;
    options.strInstallDir = "D:\\PE";
    test::BuildMachine(image, options);
    image.AddFolder("drive_d/PE/Tessaro/Drivers");
    image.AddFolder("drive_d/PE/Tessaro/x64");
    ASSERT_EQ(RunDravolin(image.Root()).nExitCode, 0);
    EXPECT_TRUE(image.Exists("drive_d/PE/Tessaro/Drivers/Disk"));
}

}  // namespace
