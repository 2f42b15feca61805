// MatchDeviceModel: the platform gate, the trial order of models sections,
// model lines and device IDs, and the record of a match.
#include "inf/model_matcher.h"

#include "inf_test_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using inftest::Narrow;
using inftest::Wide;

namespace {

const char kVersion[] =
    "[Version]\r\n"
    "ClassGUID = {4d36e97b-e325-11ce-bfc1-08002be10318}\r\n"
    "DriverVer = 01/02/2020, 1.2.3.4\r\n"
    "CatalogFile = \"cat.cat\"\r\n";

// What a case expects of the record; null fields are not looked at.
struct Expected {
    const char* pszInstall = nullptr;
    const char* pszServices = nullptr;
    const char* pszModels = nullptr;
    const char* pszHardwareId = nullptr;
    const char* pszDescription = nullptr;
    const char* pszDriverDate = nullptr;
    const char* pszDriverVersion = nullptr;
};

struct MatchCase {
    const char* pszName;
    std::string body;  // follows kVersion
    const char* pszPlatform;
    bool bRequireAmd64;
    std::vector<const char*> ids;
    bool bResult;
    Expected expected;
};

Expected Models(const char* pszModels, const char* pszDescription) {
    Expected e;
    e.pszModels = pszModels;
    e.pszDescription = pszDescription;
    return e;
}

Expected Sections(const char* pszInstall, const char* pszServices) {
    Expected e;
    e.pszInstall = pszInstall;
    e.pszServices = pszServices;
    return e;
}

Expected MatchedId(const char* pszDescription, const char* pszHardwareId) {
    Expected e;
    e.pszDescription = pszDescription;
    e.pszHardwareId = pszHardwareId;
    return e;
}

Expected DriverVer(const char* pszDate, const char* pszVersion) {
    Expected e;
    e.pszDriverDate = pszDate;
    e.pszDriverVersion = pszVersion;
    return e;
}

const char kInst[] = "[Inst]\r\n\r\n";

// One device ID, listed in a plain, an x86 and an amd64 models section.
const std::string kDecorated = std::string(kInst) +
                               "[Models]\r\nPlain = Inst, PCI\\VEN_1&DEV_2\r\n"
                               "[Models.NTx86]\r\nX86 = Inst, PCI\\VEN_1&DEV_2\r\n"
                               "[Models.NTamd64]\r\nAmd64 = Inst, PCI\\VEN_1&DEV_2\r\n";

std::vector<MatchCase> MatchCases() {
    const char* id = "pci\\ven_1&dev_2";
    return {
        // The platform gate and the order of the models sections.
        {"UndecoratedGetsNtx86", "[Manufacturer]\r\nM = Models\r\n" + kDecorated, "x86", false, {id}, true,
         Models("Models.NTX86", "X86")},
        {"UndecoratedClosedForAmd64", "[Manufacturer]\r\nM = Models\r\n" + kDecorated, "amd64", false, {id}, false, {}},
        {"LastDecorationTriedFirst", "[Manufacturer]\r\nM = Models, NTx86, NTamd64\r\n" + kDecorated, "amd64", true,
         {id}, true, Models("Models.NTamd64", "Amd64")},
        {"AllDecorationsTriedWhateverOpened",
         "[Manufacturer]\r\nM = Models, NTx86, NTamd64\r\n" + std::string(kInst) +
             "[Models.NTamd64]\r\nOther = Inst, PCI\\VEN_9\r\n[Models.NTx86]\r\nX86 = Inst, PCI\\VEN_1&DEV_2\r\n",
         "amd64", true, {id}, true, Models("Models.NTx86", "X86")},
        {"PlainSectionTriedLast",
         "[Manufacturer]\r\nM = Models, NTamd64\r\n" + std::string(kInst) +
             "[Models]\r\nPlain = Inst, PCI\\VEN_1&DEV_2&REV_01\r\n",
         "amd64", true, {id}, true, Models("Models", "Plain")},
        {"DecorationAboveSixClosesGate", "[Manufacturer]\r\nM = Models, NTamd64.6.1\r\n" + kDecorated, "amd64", false,
         {id}, false, {}},
        {"RealFileVersionDecorationClosesGate", "[Manufacturer]\r\nM = Models, NTamd64.10.0...16299\r\n" + kDecorated,
         "amd64", false, {id}, false, {}},
        {"DecorationAtSixOpensGate",
         "[Manufacturer]\r\nM = Models, NTamd64.6.0\r\n" + std::string(kInst) +
             "[Models.NTamd64.6.0]\r\nSix = Inst, PCI\\VEN_1&DEV_2\r\n",
         "amd64", false, {id}, true, Models("Models.NTamd64.6.0", "Six")},
        {"UpperCaseDecorationOpensGate", "[Manufacturer]\r\nM = Models, NTAMD64\r\n" + kDecorated, "amd64", true, {id},
         true, Models("Models.NTAMD64", "Amd64")},
        {"ClosedEntryEndsWholeSearch",
         "[Manufacturer]\r\nA = Models, NTx86\r\nB = Models, NTamd64\r\n" + kDecorated, "amd64", false, {id}, false, {}},
        {"RefusedVersionEndsWholeSearch",
         "[Manufacturer]\r\nA = Models, NTamd64.6.1\r\nB = Models, NTamd64\r\n" + kDecorated, "amd64", true, {id},
         false, {}},
        {"RequireAmd64RefusesOtherOpening", "[Manufacturer]\r\nM = Models, NTx86\r\n" + kDecorated, "x86", true, {id},
         false, {}},
        {"WithoutRequireX86Opens", "[Manufacturer]\r\nM = Models, NTx86\r\n" + kDecorated, "x86", false, {id}, true,
         Models("Models.NTx86", "X86")},
        {"NoMatchTriesNextManufacturer",
         "[Manufacturer]\r\nA = Other\r\nB = Models\r\n" + kDecorated + "[Other]\r\nO = Inst, PCI\\VEN_9\r\n", "x86",
         false, {id}, true, Models("Models.NTX86", "X86")},

        // Model lines, device IDs and compatible IDs.
        {"DeviceIdContainedInModelId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) +
             "[Models]\r\nDesc = Inst, PCI\\VEN_1234&DEV_5678&CC_0106\r\n",
         "x86", false, {"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000", "pci\\ven_1234&dev_5678"}, true,
         MatchedId("Desc", "PCI\\VEN_1234&DEV_5678&CC_0106")},
        {"DeviceIdFoundInsideModelId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nDesc = Inst, ACPI\\AB&AB&ABC\r\n",
         "x86", false, {"AB&ABD", "ab&abc"}, true, MatchedId("Desc", "ACPI\\AB&AB&ABC")},
        {"FirstModelLineWinsOverEarlierDeviceId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nFirst = Inst, ID_B\r\nSecond = Inst, ID_A\r\n",
         "x86", false, {"id_a", "id_b"}, true, MatchedId("First", "ID_B")},
        {"FirstCompatibleIdMatches",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nDesc = Inst, HW_X, compat_y, COMPAT_Z\r\n",
         "x86", false, {"COMPAT_Y"}, true, MatchedId("Desc", "COMPAT_Y")},
        {"SecondCompatibleIdDoesNotMatch",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nDesc = Inst, HW_X, COMPAT_Y, COMPAT_Z\r\n",
         "x86", false, {"COMPAT_Z"}, false, {}},
        {"HardwareIdBeforeCompatibleIdPerDeviceId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nDesc = Inst, AAA, BBB\r\n", "x86", false,
         {"BBB", "AAA"}, true, MatchedId("Desc", "BBB")},
        {"EmptyDeviceIdMatchesFirstLineWithId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nNoId = Inst\r\nHas = Inst, X\r\n", "x86",
         false, {""}, true, MatchedId("Has", "X")},
        {"OneCharacterDeviceId",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) + "[Models]\r\nA = Inst, QQ\r\nB = Inst, PXP\r\n", "x86",
         false, {"x"}, true, MatchedId("B", "PXP")},
        {"HardwareIdThroughToken",
         "[Manufacturer]\r\nM = Models\r\n" + std::string(kInst) +
             "[Models]\r\nDesc = Inst, %HwId%\r\n[Strings]\r\nHwId = pci\\ven_7\r\n",
         "x86", false, {"PCI\\VEN_7"}, true, MatchedId("Desc", "PCI\\VEN_7")},

        // Install and services sections.
        {"DecoratedInstallAndServices",
         "[Manufacturer]\r\nM = Models, NTamd64.6.0\r\n[Models.NTamd64.6.0]\r\nD = Inst, ID\r\n"
         "[Inst.NTamd64.6.0]\r\n\r\n[Inst.NTamd64.6.0.Services]\r\n\r\n[Inst.NTamd64.Services]\r\n\r\n",
         "amd64", false, {"ID"}, true, Sections("Inst.NTamd64.6.0", "Inst.NTamd64.6.0.Services")},
        {"InstallCutAtDot",
         "[Manufacturer]\r\nM = Models, NTamd64.6.0\r\n[Models.NTamd64.6.0]\r\nD = Inst, ID\r\n"
         "[Inst.NTamd64]\r\n\r\n[Inst.NTamd64.Services]\r\n\r\n",
         "amd64", false, {"ID"}, true, Sections("Inst.NTamd64", "Inst.NTamd64.Services")},
        {"CutDecorationStaysForServices",
         "[Manufacturer]\r\nM = Models, NTamd64.6.0\r\n[Models.NTamd64.6.0]\r\nD = Inst, ID\r\n"
         "[Inst.NT]\r\n\r\n[Inst.NTamd64.6.0.Services]\r\n\r\n",
         "amd64", false, {"ID"}, true, Sections("Inst.NT", "")},
        {"PlainModelsUseNt",
         "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID\r\n[Inst.NT]\r\n\r\n[Inst.NT.Services]\r\n\r\n",
         "x86", false, {"ID"}, true, Sections("Inst.NT", "Inst.NT.Services")},
        {"MissingInstallTriesNextManufacturer",
         "[Manufacturer]\r\nA = Lost\r\nB = Models\r\n[Lost]\r\nL = Nowhere, ID\r\n[Models]\r\nD = Inst, ID\r\n" +
             std::string(kInst),
         "x86", false, {"ID"}, true, Sections("Inst", "")},
        {"MissingInstallEverywhere", "[Manufacturer]\r\nA = Lost\r\n[Lost]\r\nL = Nowhere, ID\r\n", "x86", false, {"ID"},
         false, {}},

        // Driver date and version.
        {"DriverVerFromVersion", "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID\r\n" + std::string(kInst),
         "x86", false, {"ID"}, true, DriverVer("01/02/2020", "1.2.3.4")},
        {"DriverVerOfInstallReplacesBoth",
         "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID\r\n[Inst]\r\nDriverVer = 03/04/2021, 4.5\r\n", "x86",
         false, {"ID"}, true, DriverVer("03/04/2021", "4.5")},
        {"DriverVerWithThreeItemsReplacesDate",
         "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID\r\n[Inst]\r\nDriverVer = 03/04/2021, 4.5, x\r\n",
         "x86", false, {"ID"}, true, DriverVer("03/04/2021", "1.2.3.4")},

        // What ends the search before any model.
        {"NoManufacturerSection", std::string(kInst) + "[Models]\r\nD = Inst, ID\r\n", "x86", false, {"ID"}, false, {}},
    };
}

// Parameters print as their names, not as bytes.
void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.pszName; }

class MatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchTest, FindsTheModelInTrialOrder) {
    const MatchCase& c = GetParam();
    inftest::CScratchImage image;
    ASSERT_TRUE(image.IsReady()) << image.Error();
    CInfFile inf(image.AddFile("m.inf", kVersion + c.body));
    ASSERT_TRUE(inf.Load());
    inf.Parse();
    std::vector<std::wstring> ids;
    for (const char* pszId : c.ids) ids.push_back(Wide(pszId));
    CVendorDevice device;
    ASSERT_EQ(MatchDeviceModel(Wide(c.pszPlatform).c_str(), inf, ids, device, c.bRequireAmd64), c.bResult);
    if (!c.bResult) return;
    const Expected& e = c.expected;
    auto check = [](const char* pszExpected, const std::wstring& strActual, const char* pszField) {
        if (pszExpected) {
            EXPECT_EQ(Narrow(strActual.c_str()), pszExpected) << pszField;
        }
    };
    check(e.pszInstall, device.m_strInstallSection, "install section");
    check(e.pszServices, device.m_strServicesSection, "services section");
    check(e.pszModels, device.m_strModelsSection, "models section");
    check(e.pszHardwareId, device.m_strHardwareId, "hardware ID");
    check(e.pszDescription, device.m_strDescription, "description");
    check(e.pszDriverDate, device.m_strDriverDate, "driver date");
    check(e.pszDriverVersion, device.m_strDriverVersion, "driver version");
}

INSTANTIATE_TEST_SUITE_P(Matcher, MatchTest, ::testing::ValuesIn(MatchCases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

class MatcherRecordTest : public ::testing::Test {
protected:
    CInfFile& Parsed(const std::string& text) {
        EXPECT_TRUE(m_image.IsReady()) << m_image.Error();
        m_pInf.reset(new CInfFile(m_image.AddFile("r.inf", text)));
        EXPECT_TRUE(m_pInf->Load());
        m_pInf->Parse();
        return *m_pInf;
    }

    inftest::CScratchImage m_image;
    std::unique_ptr<CInfFile> m_pInf;
};

const char kFullInf[] =
    "[Version]\r\n"
    "ClassGUID = %ClassGuid%\r\n"
    "DriverVer = 01/02/2020, 1.2.3.4\r\n"
    "CatalogFile = \"cat.cat\"\r\n"
    "[Manufacturer]\r\n"
    "%Mfg% = Models, NTamd64\r\n"
    "[Models.NTamd64]\r\n"
    "%Dev% = Inst, PCI\\VEN_8086&DEV_1234, PCI\\CC_0106\r\n"
    "[Inst.NTamd64]\r\n\r\n"
    "[Inst.NTamd64.Services]\r\n\r\n"
    "[Strings]\r\n"
    "ClassGuid = \"{4d36e97b-e325-11ce-bfc1-08002be10318}\"\r\n"
    "Mfg = \"Maker, Inc.\"\r\n"
    "Dev = \"Disk Controller\"\r\n";

TEST_F(MatcherRecordTest, FillsEveryFieldAndGivesTheSameOnASecondCall) {
    CInfFile& inf = Parsed(kFullInf);
    for (int nCall = 0; nCall < 2; ++nCall) {
        std::vector<std::wstring> ids = {L"pci\\ven_8086&dev_1234&subsys_1", L"pci\\ven_8086&dev_1234"};
        CVendorDevice device;
        ASSERT_TRUE(MatchDeviceModel(L"amd64", inf, ids, device, true)) << "call " << nCall;
        EXPECT_EQ(device.m_strInstallSection, L"Inst.NTamd64");
        EXPECT_EQ(device.m_strServicesSection, L"Inst.NTamd64.Services");
        EXPECT_EQ(device.m_strModelsSection, L"Models.NTamd64");
        EXPECT_EQ(device.m_strHardwareId, L"PCI\\VEN_8086&DEV_1234");
        EXPECT_EQ(device.m_strDescription, L"Disk Controller");
        // Quoted with a comma: the quotes stay.
        EXPECT_EQ(device.m_strManufacturer, L"\"Maker, Inc.\"");
        EXPECT_EQ(device.m_strDriverDate, L"01/02/2020");
        EXPECT_EQ(device.m_strDriverVersion, L"1.2.3.4");
        EXPECT_EQ(device.m_strCatalogFile, L"\"cat.cat\"");
        // Both device IDs took part and come back upper-cased.
        EXPECT_EQ(ids, (std::vector<std::wstring>{L"PCI\\VEN_8086&DEV_1234&SUBSYS_1", L"PCI\\VEN_8086&DEV_1234"}));
    }
    // The INF's own text is not cut by the search.
    InfEntryRef driverVer;
    ASSERT_TRUE(inf.FindVersionEntry(L"DriverVer", driverVer));
    EXPECT_STREQ(driverVer.Value(), L"01/02/2020, 1.2.3.4");
}

TEST_F(MatcherRecordTest, OnlyDeviceIdsThatTookPartAreUpperCased) {
    CInfFile& inf = Parsed(kFullInf);
    std::vector<std::wstring> ids = {L"pci\\ven_8086&dev_1234", L"acpi\\pnp0a03"};
    CVendorDevice device;
    ASSERT_TRUE(MatchDeviceModel(L"amd64", inf, ids, device, false));
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"PCI\\VEN_8086&DEV_1234", L"acpi\\pnp0a03"}));
}

TEST_F(MatcherRecordTest, MatchLeavesStringsAsWritten) {
    // The model line's ID comes from "Strings"; it is upper-cased for the
    // comparison, not in the INF, where the description reads it too.
    CInfFile& inf = Parsed(std::string(kVersion) +
                           "[Manufacturer]\r\nM = Models\r\n[Models]\r\n%Name% = Inst, %Name%\r\n[Inst]\r\n\r\n"
                           "[Strings]\r\nName = acpi\\dev_1\r\n");
    std::vector<std::wstring> ids = {L"ACPI\\DEV_1"};
    CVendorDevice device;
    ASSERT_TRUE(MatchDeviceModel(L"x86", inf, ids, device, false));
    EXPECT_EQ(device.m_strHardwareId, L"ACPI\\DEV_1");
    EXPECT_EQ(device.m_strDescription, L"acpi\\dev_1");
}

TEST_F(MatcherRecordTest, RecordIsEmptiedFirst) {
    CInfFile& inf = Parsed("[Version]\r\nDriverVer = 01/02/2020, 1.0\r\nCatalogFile = c.cat\r\n"
                           "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID\r\n[Inst]\r\n\r\n");
    std::vector<std::wstring> ids = {L"ID"};
    CVendorDevice device;
    device.m_strInstallSection = L"stale";
    EXPECT_FALSE(MatchDeviceModel(L"x86", inf, ids, device, false));  // no ClassGUID
    EXPECT_TRUE(device.m_strInstallSection.empty());
    EXPECT_TRUE(device.m_strDriverDate.empty());
}

// Working copies hold 259 characters. A cut never gives a match that the
// whole text would not give: an entry whose cut could change the answer is
// passed over, a name that does not fit names no section, and a text that
// a string token resolved to is used whole.
TEST_F(MatcherRecordTest, LongTextsNeverMatchWhatTheWholeTextWouldNot) {
    const std::string strLong(300, 'A');
    // Cut at 259 characters this entry ends in "NTamd64.6", which opens the
    // gate that "NTamd64.6.1" keeps closed.
    const std::string strCutOpensGate = "Models, " + std::string(240, 'X') + ", NTamd64.6.1";
    const std::string kModels = "[Models]\r\nD = Inst, ID\r\n[Inst]\r\n\r\n";
    const struct {
        const char* pszName;
        std::string body;  // follows kVersion
        const char* pszPlatform;
        bool bResult;
        std::string strHardwareId;
    } kCases[] = {
        {"ManufacturerEntryCutToAnOpenGate", "[Manufacturer]\r\nM = " + strCutOpensGate + "\r\n" + kModels, "amd64",
         false, ""},
        {"LongManufacturerEntryIsPassedOver",
         "[Manufacturer]\r\nM = " + strCutOpensGate + "\r\nN = Models, NTamd64\r\n" + kModels, "amd64", true, "ID"},
        {"LongDecorationsAreNoDecorations",
         "[Manufacturer]\r\nM = " + strLong + ", NTx86\r\nN = Models, " + strLong + "NTx86\r\n" + kModels, "x86",
         false, ""},
        {"SectionNameTooLongForItsBuffer",
         "[Manufacturer]\r\nM = %Long%, NTx86\r\n[" + std::string(259, 'A') + "]\r\nD = Inst, ID\r\n" +
             "[Inst]\r\n\r\n[Strings]\r\nLong = " + strLong + "\r\n",
         "x86", false, ""},
        {"ModelLineCutInItsCompatibleId",
         "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, ID, " + strLong + "\r\n[Inst]\r\n\r\n", "x86",
         true, "ID"},
        {"IdFromStringsIsUsedWhole",
         "[Manufacturer]\r\nM = Models\r\n[Models]\r\nD = Inst, %Id%\r\n[Inst]\r\n\r\n[Strings]\r\nId = ID" +
             strLong + "\r\n",
         "x86", true, "ID" + strLong},
    };
    for (const auto& c : kCases) {
        CInfFile& inf = Parsed(kVersion + c.body);
        std::vector<std::wstring> ids = {L"ID"};
        CVendorDevice device;
        EXPECT_EQ(MatchDeviceModel(Wide(c.pszPlatform).c_str(), inf, ids, device, false), c.bResult) << c.pszName;
        if (c.bResult) {
            EXPECT_EQ(Narrow(device.m_strHardwareId.c_str()), c.strHardwareId) << c.pszName;
        }
    }
}

}  // namespace
