// Feeds arbitrary bytes, as the content of an INF file of a temporary image
// (served from memory), through everything the program asks of the INF
// reader and the matcher.
#include "inf/inf_file.h"
#include "inf/model_matcher.h"

#include "host_control.h"
#include "tests/inf/inf_test_image.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The resolved texts of every entry of a section, and its lists split in a
// copy, as the program's callers read them.
void ReadSection(CInfFile& inf, const wchar_t* pszName) {
    InfSectionRef section;
    if (!inf.FindSection(pszName, section)) return;
    InfEntryRef driverVer;
    inf.FindDriverVerEntry(section, driverVer);
    std::vector<wchar_t*> items;
    for (size_t i = 0; i < section.GetEntryCount(); ++i) {
        const InfEntryRef entry = section.GetEntry(i);
        std::wstring value = entry.Value();
        inf.SplitList(&value[0], items);
        inf.LookupString(entry.Key());
        inf.GetEntryKeyText(entry);
        inf.GetEntryValueText(entry);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // One image for the whole run, removed when the run ends.
    static const inftest::CScratchImage s_image;
    if (!s_image.IsReady()) std::abort();
    host::ServeFileFromMemory(L"C:\\fuzz.inf", std::string(reinterpret_cast<const char*>(pData), nSize));
    CInfFile inf(L"C:\\fuzz.inf");
    if (!inf.Load()) std::abort();  // an existing, readable file always loads
    inf.Parse();

    InfEntryRef entry;
    for (const wchar_t* pszKey : {L"ClassGuid", L"CatalogFile", L"DriverVer", L"Provider"}) {
        if (inf.FindVersionEntry(pszKey, entry)) {
            inf.GetEntryValueText(entry);
            inf.GetEntryKeyText(entry);
        }
    }
    for (const wchar_t* pszSection : {L"Version", L"Manufacturer", L"Strings", L"SourceDisksFiles"}) {
        ReadSection(inf, pszSection);
    }

    // Device ID lists: none that can match, the empty ID that matches any
    // hardware ID, and one taken from the input itself.
    std::wstring strFromInput;
    for (size_t i = 0; i < nSize && i < 24; ++i) strFromInput.push_back(static_cast<wchar_t>(pData[i]));
    const std::vector<std::vector<std::wstring>> idLists = {
        {L"PCI\\VEN_FFFF&DEV_FFFF"},
        {L""},
        {L"pci\\ven_8086&dev_1234&subsys_00000000", L"ACPI\\PNP0A03", strFromInput},
    };
    for (const wchar_t* pszPlatform : {L"x86", L"amd64"}) {
        for (bool bRequireAmd64 : {false, true}) {
            for (std::vector<std::wstring> ids : idLists) {
                CVendorDevice device;
                MatchDeviceModel(pszPlatform, inf, ids, device, bRequireAmd64);
            }
        }
    }

    // SplitList in place on the stored values, as the text allows it.
    InfSectionRef version;
    std::vector<wchar_t*> items;
    if (inf.FindSection(L"Version", version)) {
        for (size_t i = 0; i < version.GetEntryCount(); ++i) {
            inf.SplitList(const_cast<wchar_t*>(version.GetEntry(i).Value()), items);
        }
    }

    inf.Unload();
    if (inf.FindVersionEntry(L"ClassGuid", entry)) std::abort();  // nothing is left after Unload
    return 0;
}
