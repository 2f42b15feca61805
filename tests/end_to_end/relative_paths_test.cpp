// Paths without a drive in the machine's registry: the installation folder
// and the Windows directory are found inside the image (its current
// directory is C:\), and the run touches nothing of the host around it.
#include "support/device_fixtures.h"
#include "support/run_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

using namespace test;

struct RelativeCase {
    const char* pszName;
    std::string strInstallDir;
    std::string strSystemRoot;
    std::string strInstallFolder;  // where the installation is, below the image root
};

const RelativeCase kRelativeCases[] = {
    {"RelativeInstallDir", "PE", "C:\\Windows", "drive_c/PE"},
    {"RootedInstallDir", "\\PE\\", "C:\\Windows", "drive_c/PE"},
    {"RelativeSystemRoot", "C:\\Program Files\\Tessaro\\Pelvane", "Windows", kInstallFolder},
};

void PrintTo(const RelativeCase& c, std::ostream* os) {
    *os << "InstallDir \"" << c.strInstallDir << "\", SystemRoot \"" << c.strSystemRoot << "\"";
}

class RelativePathTest : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(RelativePathTest, ResolveInsideTheImage) {
    const RelativeCase& c = GetParam();
    TestImage image;
    MachineOptions options;
    options.strInstallDir = c.strInstallDir;
    options.strSystemRoot = c.strSystemRoot;
    BuildMachine(image, options);
    image.AddFolder(c.strInstallFolder + "/Tessaro/Drivers");
    image.AddFolder(c.strInstallFolder + "/Tessaro/x64");
    image.AddRawFile("drive_c/Windows/System32/drivers/e1d.sys", "e1d driver");
    image.AddRawFile("drive_c/Windows/Inf/oem3.inf", DriverInf(kNetGuid, "e1d.cat", {"PCI\\VEN_8086&DEV_15B8"}));
    image.AddRawFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem3.cat", "catalog");
    std::string registry = PciInstanceLines({"VEN_8086&DEV_15B8", "3&1", kNetGuid, "e1d", "Ethernet",
                                             "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001", "@oem3.inf,%intel%;Intel"});
    registry += ClassKeyLines("{4d36e972-e325-11ce-bfc1-08002be10318}\\0001", "oem3.inf");
    registry += ServiceLines("e1d", "System32\\drivers\\e1d.sys");
    image.AddRegistry("20-devices.reg", registry);

    const RunOutcome run = RunDravolin(image.Root());
    EXPECT_EQ(run.nExitCode, 0) << run.strLog;
    const std::string folder = c.strInstallFolder + "/Tessaro/Drivers/Network/e1d/";
    EXPECT_EQ(image.Read(folder + "e1d.sys"), "e1d driver");
    EXPECT_EQ(image.Read(folder + "e1d.inf"), image.Read("drive_c/Windows/Inf/oem3.inf"));
    EXPECT_EQ(image.Read(folder + "e1d.cat"), "catalog");
    EXPECT_EQ(run.vecStrayEntries, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Paths, RelativePathTest, ::testing::ValuesIn(kRelativeCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

}  // namespace
