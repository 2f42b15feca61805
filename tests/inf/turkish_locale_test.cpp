// Under a Turkish locale the C runtime folds I to a dotless i and i to a
// dotted I. Windows' case mapping has no such rule, and neither has ours:
// the INF reader, the matcher and the ACPI search answer as under any other
// locale. The locale is made by scripts/test.sh (localedef) when missing.
#include "inf/inf_file.h"
#include "inf/model_matcher.h"

#include "inf_test_image.h"
#include "support/device_fixtures.h"
#include "support/run_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cwctype>

using inftest::Narrow;

namespace {

const char kTurkish[] = "tr_TR.UTF-8";

// Puts the process, and the runs it starts, under the Turkish locale as the
// user's default; skips when this machine does not have it.
class TurkishLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pszOld = std::getenv("LC_ALL");
        m_bHadLcAll = pszOld != nullptr;
        if (pszOld) m_strOldLcAll = pszOld;
        setenv("LC_ALL", kTurkish, 1);
        if (!std::setlocale(LC_ALL, "")) {
            GTEST_SKIP() << kTurkish << " is not installed here (scripts/test.sh makes it with localedef)";
        }
        // The premise: this C library folds the Turkish way.
        ASSERT_EQ(static_cast<unsigned>(std::towupper(L'i')), 0x130u);
    }
    void TearDown() override {
        if (m_bHadLcAll) {
            setenv("LC_ALL", m_strOldLcAll.c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
        std::setlocale(LC_ALL, "C");
    }
    bool m_bHadLcAll = false;
    std::string m_strOldLcAll;
};

const char kInf[] =
    "[version]\r\n"
    "ClassGuid = {4d36e97b-e325-11ce-bfc1-08002be10318}\r\n"
    "CatalogFile = disk.cat\r\n"
    "[MANUFACTURER]\r\n"
    "%Mfg% = Models, NTamd64\r\n"
    "[Models.NTamd64]\r\n"
    "%Disk% = Install, acpi\\intc1001\r\n"
    "%Other% = Install, PCI\\VEN_8086&DEV_ABCD&SUBSYS_I\r\n"
    "[Install]\r\n"
    "CopyFiles = Files\r\n"
    "[Strings]\r\n"
    "Mfg = Maker\r\n"
    "Disk = Disk\r\n"
    "Other = Other\r\n";

TEST_F(TurkishLocaleTest, InfLookupsAndModelMatchesIgnoreCaseAsElsewhere) {
    inftest::CScratchImage image;
    ASSERT_TRUE(image.IsReady()) << image.Error();
    CInfFile inf(image.AddFile("disk.inf", kInf));
    ASSERT_TRUE(inf.Load());
    inf.Parse();
    InfEntryRef entry;
    ASSERT_TRUE(inf.FindVersionEntry(L"ClassGUID", entry));
    EXPECT_EQ(Narrow(entry.Value()), "{4d36e97b-e325-11ce-bfc1-08002be10318}");
    ASSERT_TRUE(inf.FindVersionEntry(L"CATALOGFILE", entry));
    EXPECT_EQ(Narrow(entry.Value()), "disk.cat");
    InfSectionRef section;
    EXPECT_TRUE(inf.FindSection(L"Manufacturer", section));

    const struct {
        std::wstring id;
        const char* pszDescription;
    } kIds[] = {
        {L"ACPI\\INTC1001", "Disk"},
        {L"Acpi\\Intc1001", "Disk"},
        {L"pci\\ven_8086&dev_abcd&subsys_i", "Other"},
    };
    for (const auto& c : kIds) {
        std::vector<std::wstring> ids = {c.id};
        CVendorDevice device;
        ASSERT_TRUE(MatchDeviceModel(L"amd64", inf, ids, device, false)) << Narrow(c.id.c_str());
        EXPECT_EQ(Narrow(device.m_strDescription.c_str()), c.pszDescription);
    }
}

TEST_F(TurkishLocaleTest, AnAcpiDeviceFindsItsInf) {
    test::TestImage image;
    test::BuildMachine(image);
    image.AddRawFile("drive_c/Windows/System32/drivers/iastor.sys", "driver");
    image.AddRawFile("drive_c/Windows/Inf/oem4.inf", kInf);
    image.AddRawFile("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem4.cat", "catalog");
    std::string registry = test::AcpiInstanceLines(
        {"INTC1001", "0", "{4D36E97B-E325-11CE-BFC1-08002BE10318}", "iastor", "Disk", {"ACPI\\INTC1001"}});
    registry += test::ServiceLines("iastor", "\\SystemRoot\\System32\\drivers\\iastor.sys");
    image.AddRegistry("20-devices.reg", registry);

    const test::RunOutcome run = test::RunDravolin(image.Root());  // inherits LC_ALL
    EXPECT_EQ(run.nExitCode, 0) << run.strLog;
    const std::string folder = std::string(test::kInstallFolder) + "/Tessaro/Drivers/Disk/iastor/";
    EXPECT_EQ(image.Read(folder + "iastor.inf"), kInf);
    EXPECT_EQ(image.Read(folder + "disk.cat"), "catalog");
}

}  // namespace
