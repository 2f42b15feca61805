// Real INF files from the shared corpus (../shared/corpus beside the source
// folder). The tests skip themselves when it is absent: a fresh clone has it not.
#include "inf/inf_file.h"
#include "inf/model_matcher.h"

#include "inf_test_image.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using inftest::Narrow;
using inftest::Wide;

namespace {

class InfCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strCorpus = inftest::CorpusDir();
        if (m_strCorpus.empty()) GTEST_SKIP() << "no INF corpus at ../shared/corpus beside the source folder";
        ASSERT_TRUE(m_image.IsReady()) << m_image.Error();
    }

    // Copies a corpus file into the image; returns its Windows path.
    std::wstring Place(const std::string& relative) {
        std::string name = relative;
        for (char& ch : name) {
            if (ch == '/') ch = '_';
        }
        return m_image.AddFile(name, inftest::ReadHostFile(m_strCorpus + "/" + relative));
    }

    std::string m_strCorpus;
    inftest::CScratchImage m_image;
};

std::string VersionValue(CInfFile& inf, const wchar_t* pszKey) {
    InfEntryRef entry;
    if (!inf.FindVersionEntry(pszKey, entry)) return "<none>";
    const wchar_t* pszText = inf.GetEntryValueText(entry);
    return pszText ? Narrow(pszText) : "<unresolved>";
}

// Every file loads and parses and answers every lookup the program makes;
// a hardware ID that no file lists matches nowhere.
TEST_F(InfCorpusTest, EveryFileParsesAndAnswersEveryLookup) {
    const std::vector<std::string> files = inftest::ListFiles(m_strCorpus);
    size_t nInfFiles = 0;
    size_t nWithClassGuid = 0;
    for (const std::string& path : files) {
        const std::string relative = path.substr(m_strCorpus.size() + 1);
        const std::string ext = relative.substr(relative.rfind('.') + 1);
        if (ext != "inf" && ext != "inx" && ext != "InX") continue;
        ++nInfFiles;
        SCOPED_TRACE(relative);
        CInfFile inf(Place(relative));
        ASSERT_TRUE(inf.Load());
        inf.Parse();

        InfSectionRef version;
        // autorun.inf is an INF file but no driver's: it has no "Version".
        EXPECT_EQ(inf.FindSection(L"Version", version), relative != "wds/autorun.inf");
        if (VersionValue(inf, L"ClassGuid") != "<none>") ++nWithClassGuid;
        InfEntryRef entry;
        inf.FindVersionEntry(L"CatalogFile", entry);

        InfSectionRef manufacturers;
        if (inf.FindSection(L"Manufacturer", manufacturers)) {
            for (size_t i = 0; i < manufacturers.GetEntryCount(); ++i) {
                inf.GetEntryKeyText(manufacturers.GetEntry(i));
                std::wstring value = manufacturers.GetEntry(i).Value();
                std::vector<wchar_t*> items;
                inf.SplitList(&value[0], items);
                EXPECT_FALSE(items.empty());
            }
        }
        for (const wchar_t* pszPlatform : {L"x86", L"amd64"}) {
            for (bool bRequireAmd64 : {false, true}) {
                std::vector<std::wstring> ids = {L"PCI\\VEN_FFFF&DEV_FFFF", L"ACPI\\NONE0000"};
                CVendorDevice device;
                EXPECT_FALSE(MatchDeviceModel(pszPlatform, inf, ids, device, bRequireAmd64));
            }
        }
        inf.Unload();
    }
    EXPECT_GE(nInfFiles, 180u);
    EXPECT_GE(nWithClassGuid, nInfFiles * 3 / 4);
}

// What a few real files say, in each of the corpus's encodings.
struct FileFacts {
    const char* pszFile;
    const char* pszClassGuid;
    const char* pszCatalogFile;  // as stored
    const char* pszPlatform;
    const char* pszHardwareId;
    const char* pszModels;  // "<none>": no match
    const char* pszInstall;
    const char* pszServices;
};
void PrintTo(const FileFacts& c, std::ostream* os) { *os << c.pszFile << " for " << c.pszPlatform; }

const FileFacts kFacts[] = {
    // ASCII, with a tab after the catalog name that stays in the value.
    {"wds/diskdev.inf", "{4d36e967-e325-11ce-bfc1-08002be10318}", "diskdev.cat\t", "amd64", "GenDisk",
     "Standard.Mfg.NTamd64", "disk.NT", "disk.NT.Services"},
    // The models sections are tried from the last decoration down, whatever
    // decoration opened the gate: an x86 device is found in the amd64 list,
    // an amd64 one in the ARM64 list.
    {"virtio/pciserial_qemupciserial.inf", "{4d36e971-e325-11ce-bfc1-08002be10318}", "qemupciserial.cat", "x86",
     "pci\\ven_1b36&dev_0003", "QEMU.NTAMD64", "ComPort_inst2", "ComPort_inst2.Services"},
    {"virtio/pciserial_qemupciserial.inf", "{4d36e971-e325-11ce-bfc1-08002be10318}", "qemupciserial.cat", "amd64",
     "PCI\\VEN_1B36&DEV_0002", "QEMU.NTAMD64", "ComPort_inst1", "ComPort_inst1.Services"},
    {"vendor/OpteeTrEE.inf", "{4D36E97D-E325-11CE-BFC1-08002BE10318}", "OpteeTrEE.cat", "amd64", "ACPI\\TrEECSMP",
     "Standard.NTARM64", "OpteeTrEE.NT", "OpteeTrEE.NT.Services"},
    // UTF-16LE; its only decoration is a placeholder no platform word opens.
    {"vendor/imxi2c.inf", "{4D36E97D-E325-11CE-BFC1-08002BE10318}", "imxi2c.cat", "amd64", "ACPI\\NXP0104",
     "<none>", "", ""},
};

class InfCorpusFactsTest : public InfCorpusTest, public ::testing::WithParamInterface<FileFacts> {};

TEST_P(InfCorpusFactsTest, ReadsWhatTheFileSays) {
    const FileFacts& facts = GetParam();
    CInfFile inf(Place(facts.pszFile));
    ASSERT_TRUE(inf.Load());
    inf.Parse();
    EXPECT_EQ(VersionValue(inf, L"ClassGuid"), facts.pszClassGuid);
    InfEntryRef catalog;
    ASSERT_TRUE(inf.FindVersionEntry(L"CatalogFile", catalog));
    EXPECT_EQ(Narrow(catalog.Value()), facts.pszCatalogFile);

    const bool bAmd64 = std::string(facts.pszPlatform) == "amd64";
    std::vector<std::wstring> ids = {L"ROOT\\UNKNOWN", Wide(facts.pszHardwareId)};
    CVendorDevice device;
    const bool bMatched = MatchDeviceModel(Wide(facts.pszPlatform).c_str(), inf, ids, device, bAmd64);
    EXPECT_EQ(bMatched ? Narrow(device.m_strModelsSection.c_str()) : "<none>", facts.pszModels);
    if (!bMatched) return;
    EXPECT_EQ(Narrow(device.m_strInstallSection.c_str()), facts.pszInstall);
    EXPECT_EQ(Narrow(device.m_strServicesSection.c_str()), facts.pszServices);
}

INSTANTIATE_TEST_SUITE_P(Corpus, InfCorpusFactsTest, ::testing::ValuesIn(kFacts), [](const auto& testInfo) {
    std::string name = std::string(testInfo.param.pszFile) + "_" + testInfo.param.pszPlatform;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
});

}  // namespace
