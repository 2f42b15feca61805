// Stage 1 in process: the installation folder, the x64 marker, the 64-bit
// view, and the Windows version question.
#include "app/target_installation.h"
#include "common/globals.h"
#include "common/system_info.h"
#include "host_control.h"
#include "support/log_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

TEST(TargetInstallation, AddsTheBackslashAndTakesAFileAsTheX64Marker) {
    test::TestImage image;
    test::MachineOptions options;
    options.bX64Target = false;
    test::BuildMachine(image, options);
    image.AddRawFile(std::string(test::kInstallFolder) + "/Tessaro/x64", "a file, not a folder");
    image.Load();
    test::ResetGlobals();
    test::LogCapture log;

    EXPECT_TRUE(LocateTargetInstallation());
    EXPECT_EQ(g_strInstallDir, L"C:\\Program Files\\Tessaro\\Pelvane\\");
    EXPECT_EQ(g_bTargetIsX64, 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"WinPE component is x64",
                                                     "IsWow64Process executed successfully from kernel32.dll",
                                                     "Operating system is x64"}));
}

TEST(TargetInstallation, ReadsTheInstallKeyInThe64BitViewOnly) {
    test::TestImage image;
    test::MachineOptions options;
    options.bInstallKey = false;
    test::BuildMachine(image, options);
    image.AddRegistry("10-wow.reg", test::RegKey("SOFTWARE\\WOW6432Node\\Tessaro\\Pelvane") +
                                        test::RegString("InstallDir", "C:\\Program Files\\Tessaro\\Pelvane"));
    image.Load();
    test::ResetGlobals();
    test::LogCapture log;

    EXPECT_FALSE(LocateTargetInstallation());
    EXPECT_EQ(g_strInstallDir, L"");
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{
                  "Failed to retrieve Pelvane installation directory from registry, has Pelvane been installed ?"});
}

TEST(SystemInfo, VistaOrLaterFromTheMajorVersion) {
    for (const auto& c : {std::make_pair(5u, false), std::make_pair(6u, true), std::make_pair(10u, true)}) {
        test::TestImage image;
        test::MachineOptions options;
        options.nMajorVersion = c.first;
        test::BuildMachine(image, options);
        image.Load();
        EXPECT_EQ(IsVistaOrLater(), c.second) << c.first;
    }
}

TEST(SystemInfo, IsWow64LogsItsFailures) {
    test::TestImage image;
    test::BuildMachine(image);
    image.Load();
    test::LogCapture log;
    EXPECT_TRUE(IsWow64());
    host::InjectFault("IsWow64Process", L"", 5, 1);
    EXPECT_FALSE(IsWow64());
    host::InjectFault("GetProcAddress", L"IsWow64Process", 127, 1);
    EXPECT_FALSE(IsWow64());
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"IsWow64Process returned false", "Failed to load IsWow64Process from DLL"}));
}

}  // namespace
