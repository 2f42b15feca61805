#include "inf/model_matcher.h"

#include "platform.h"

#include <cwchar>
#include <functional>
#include <initializer_list>

namespace {

// Working buffers hold at most 259 characters and a terminator. A cut must
// never create a match that the whole text would not give:
//  - a manufacturer entry too long for its copy is passed over, since its
//    cut decoration could read as another version ("NTamd64.6.1" cut to
//    "NTamd64.6") and open the platform gate;
//  - a composed section name that does not fit names no section, since its
//    cut could name another one;
//  - a model line or an install section's "DriverVer" is cut: a cut ID
//    contains a device ID only when the whole one does, so the answer stays
//    the same, and only the record's texts can come out shorter.
constexpr size_t kWorkChars = 260;
using WorkText = wchar_t[kWorkChars];

// An item that is none (a string token that did not resolve) takes part as
// empty text.
const wchar_t* TextOrEmpty(const wchar_t* pszText) { return pszText ? pszText : L""; }

// Copies the text into the buffer, cut to 259 characters, so that SplitList
// cuts the copy and not the INF's own text; false when the text was cut.
bool CopyWorkText(const wchar_t* pszText, WorkText& buffer) {
    const wchar_t* p = TextOrEmpty(pszText);
    size_t n = 0;
    for (; n < kWorkChars - 1 && p[n]; ++n) buffer[n] = p[n];
    buffer[n] = L'\0';
    return p[n] == L'\0';
}

// Joins the parts into the buffer: "%s.%s" and the other section name
// formats. A name that does not fit is no name: null.
const wchar_t* ComposeName(WorkText& buffer, std::initializer_list<const wchar_t*> parts) {
    size_t n = 0;
    for (const wchar_t* pszPart : parts) {
        for (const wchar_t* p = TextOrEmpty(pszPart); *p; ++p) {
            if (n == kWorkChars - 1) return nullptr;
            buffer[n++] = *p;
        }
    }
    buffer[n] = L'\0';
    return buffer;
}

bool FindNamedSection(CInfFile& inf, const wchar_t* pszName, InfSectionRef& section) {
    return pszName && inf.FindSection(pszName, section);
}

bool LiesIn(const wchar_t* pszText, const WorkText& buffer) {
    const std::less<const wchar_t*> before;
    return !before(pszText, buffer) && before(pszText, buffer + kWorkChars);
}

void CutAtFirstDot(wchar_t* pszText) {
    if (!pszText) return;
    wchar_t* pDot = std::wcschr(pszText, L'.');
    if (pDot) *pDot = L'\0';
}

// The platform's upper-casing, one character at a time as the runtime does
// it, with the answers for ASCII asked once per search: model lines are
// upper-cased by the thousand. Built after the first section lookup has set
// the process's locale, which no later lookup changes.
class CUpperCase {
public:
    CUpperCase() {
        wchar_t szAscii[128];
        for (int i = 1; i < 128; ++i) szAscii[i - 1] = static_cast<wchar_t>(i);
        szAscii[127] = L'\0';
        platform::UpperCaseInPlace(szAscii);
        m_ascii[0] = L'\0';
        for (int i = 1; i < 128; ++i) m_ascii[i] = szAscii[i - 1];
    }
    // Upper-cases the text in place; returns its length.
    size_t Apply(wchar_t* pszText) const {
        size_t n = 0;
        for (; pszText[n]; ++n) {
            const uint32_t c = static_cast<uint32_t>(pszText[n]);
            if (c < 128) {
                pszText[n] = m_ascii[c];
            } else {
                wchar_t szOne[2] = {pszText[n], L'\0'};
                platform::UpperCaseInPlace(szOne);
                pszText[n] = szOne[0];
            }
        }
        return n;
    }

private:
    wchar_t m_ascii[128];
};

// An upper-cased text and its length: containment is first decided by length.
struct UpperText {
    const wchar_t* psz = L"";
    size_t nLength = 0;
};

// Whether the part occurs in the text, as wcsstr answers it. The texts are
// short, met by the thousand, and mostly share their first characters
// ("PCI\\VEN_"), so each place is first tested on the part's first and last
// characters, and only then compared in full.
bool Contains(const UpperText& text, const UpperText& part) {
    if (part.nLength > text.nLength) return false;
    if (part.nLength == 0) return true;
    const size_t nLast = part.nLength - 1;
    const wchar_t chFirst = part.psz[0];
    const wchar_t chLast = part.psz[nLast];
    const wchar_t* pFinal = text.psz + (text.nLength - part.nLength);
    for (const wchar_t* p = text.psz; p <= pFinal; ++p) {
        if (p[0] != chFirst || p[nLast] != chLast) continue;
        size_t i = 1;
        while (i < nLast && p[i] == part.psz[i]) ++i;
        if (i >= nLast) return true;
    }
    return false;
}

// Upper-cases an item for a comparison. An item of the working copy is
// upper-cased where it stands; one that a string token resolved to lies in
// the INF's "Strings" text, which stays as written, and is upper-cased in a
// copy of its whole length.
UpperText UpperCaseItem(const CUpperCase& upper, wchar_t* pszItem, const WorkText& owner, std::wstring& scratch) {
    UpperText text;
    if (!pszItem) return text;
    wchar_t* pszUpper = pszItem;
    if (!LiesIn(pszItem, owner)) {
        scratch.assign(pszItem);
        pszUpper = &scratch[0];
    }
    text.nLength = upper.Apply(pszUpper);
    text.psz = pszUpper;
    return text;
}

// The caller's device IDs, upper-cased in place as they first take part in a
// comparison. Every walk goes through the list from its start, so the IDs
// that took part are always its first ones; each is upper-cased once.
class CDeviceIds {
public:
    CDeviceIds(std::vector<std::wstring>& ids, const CUpperCase& upper) : m_ids(ids), m_upper(upper) {}
    size_t GetCount() const { return m_ids.size(); }
    UpperText Get(size_t nIndex) {
        std::wstring& strId = m_ids[nIndex];
        if (nIndex >= m_lengths.size()) m_lengths.push_back(strId.empty() ? 0 : m_upper.Apply(&strId[0]));
        UpperText text;
        text.psz = strId.c_str();
        text.nLength = m_lengths[nIndex];
        return text;
    }

private:
    std::vector<std::wstring>& m_ids;
    const CUpperCase& m_upper;
    std::vector<size_t> m_lengths;  // of the IDs upper-cased so far
};

// Examines a manufacturer entry's items from the last to the first. An item
// with a version above 6.0 after its first "." is passed over; the first
// other one whose upper-cased text contains the platform tag opens the gate.
bool OpensPlatformGate(const CUpperCase& upper, const std::vector<wchar_t*>& list, const wchar_t* pszTag,
                       bool& bNamesAmd64) {
    // Both numbers go through the locale's conversion at single precision,
    // so a locale with another decimal separator reads both the same way.
    const float fBound = static_cast<float>(platform::ReadDecimal(L"6.0"));
    for (size_t k = list.size(); k-- > 0;) {
        const wchar_t* pszItem = TextOrEmpty(list[k]);
        const wchar_t* pDot = std::wcschr(pszItem, L'.');
        if (pDot && static_cast<float>(platform::ReadDecimal(pDot + 1)) > fBound) continue;
        std::wstring strUpper(pszItem);
        upper.Apply(&strUpper[0]);
        if (std::wcsstr(strUpper.c_str(), pszTag)) {
            bNamesAmd64 = std::wcsstr(strUpper.c_str(), L"AMD64") != nullptr;
            return true;
        }
    }
    return false;
}

// The model line that matched, with the texts the later steps build on.
struct ModelMatch {
    InfEntryRef line;
    WorkText szLine;          // the line's value, cut into its items
    WorkText szModels;        // the models section it stood in, as looked up
    WorkText szDecoration;    // the decoration of that section (cut at "." later)
    bool bDecorated = false;  // false for the plain models section
    const wchar_t* pszInstall = nullptr;
    const wchar_t* pszId = nullptr;  // the matching ID, upper-cased
    std::wstring strIdScratch[2];
};

// Tries one model line: its hardware ID, then its first compatible ID,
// against each device ID in list order.
bool MatchModelLine(const CUpperCase& upper, const std::vector<wchar_t*>& items, CDeviceIds& ids,
                    ModelMatch& match) {
    if (items.size() < 2) return false;
    const UpperText hardwareId = UpperCaseItem(upper, items[1], match.szLine, match.strIdScratch[0]);
    UpperText compatibleId;
    bool bCompatibleUpper = false;
    for (size_t i = 0; i < ids.GetCount(); ++i) {
        const UpperText deviceId = ids.Get(i);
        if (Contains(hardwareId, deviceId)) {
            match.pszId = hardwareId.psz;
            return true;
        }
        if (items.size() < 3) continue;
        if (!bCompatibleUpper) {
            compatibleId = UpperCaseItem(upper, items[2], match.szLine, match.strIdScratch[1]);
            bCompatibleUpper = true;
        }
        if (Contains(compatibleId, deviceId)) {
            match.pszId = compatibleId.psz;
            return true;
        }
    }
    return false;
}

// The models sections from the last decoration down to the first, then the
// plain one; in each, the model lines in file order. The first line that
// matches any device ID wins.
bool FindModelLine(CInfFile& inf, const CUpperCase& upper, const std::vector<wchar_t*>& list, CDeviceIds& ids,
                   ModelMatch& match) {
    std::vector<wchar_t*> items;
    for (size_t k = list.size(); k-- > 0;) {
        const wchar_t* pszModels = k == 0 ? ComposeName(match.szModels, {list[0]})
                                          : ComposeName(match.szModels, {list[0], L".", list[k]});
        InfSectionRef models;
        if (!FindNamedSection(inf, pszModels, models)) continue;
        for (size_t e = 0; e < models.GetEntryCount(); ++e) {
            const InfEntryRef line = models.GetEntry(e);
            CopyWorkText(line.Value(), match.szLine);
            inf.SplitList(match.szLine, items);
            if (!MatchModelLine(upper, items, ids, match)) continue;
            match.line = line;
            match.pszInstall = TextOrEmpty(items[0]);
            match.bDecorated = k > 0;
            // A copy, so that cutting it at its "." later leaves a decoration
            // that came from the "Strings" text as written.
            // It fits: it is part of the section name just found.
            CopyWorkText(match.bDecorated ? list[k] : L"", match.szDecoration);
            return true;
        }
    }
    return false;
}

// Tries the section names in order; the first that exists is left in szName.
// The third name of each search uses the decoration cut at its first ".",
// and the cut stays for what follows.
bool FindInstallSection(CInfFile& inf, ModelMatch& match, WorkText& szName, InfSectionRef& install) {
    const wchar_t* pszInstall = match.pszInstall;
    wchar_t* pszDecoration = match.bDecorated ? match.szDecoration : nullptr;
    const wchar_t* pszSuffix = pszDecoration ? pszDecoration : L"NT";
    auto tryName = [&](std::initializer_list<const wchar_t*> parts) {
        return FindNamedSection(inf, ComposeName(szName, parts), install);
    };
    if (tryName({pszInstall}) || tryName({pszInstall, L".", pszSuffix})) return true;
    CutAtFirstDot(pszDecoration);
    return tryName({pszInstall, L".", pszSuffix}) || tryName({pszInstall, L".NT"});
}

bool FindServicesSection(CInfFile& inf, ModelMatch& match, WorkText& szName) {
    const wchar_t* pszInstall = match.pszInstall;
    wchar_t* pszDecoration = match.bDecorated ? match.szDecoration : nullptr;
    const wchar_t* pszSuffix = pszDecoration ? pszDecoration : L"NT";
    InfSectionRef services;
    auto tryName = [&](std::initializer_list<const wchar_t*> parts) {
        return FindNamedSection(inf, ComposeName(szName, parts), services);
    };
    if (tryName({pszInstall, L".Services"}) || tryName({pszInstall, L".", pszSuffix, L".Services"})) return true;
    CutAtFirstDot(pszDecoration);
    return tryName({pszInstall, L".", pszSuffix, L".Services"}) || tryName({pszInstall, L".NT.Services"});
}

// Splits a "DriverVer" value in a working copy: the INF's text stays whole,
// so a second match on the same INF reads the same date and version. The
// date is the first item; the version the second, taken from section
// "Version" when there is one and from an install section only when the value
// has exactly two items. Section "Version" is read whole; an install
// section's value is worked on in a copy cut to 259 characters.
void ReadDriverVer(CInfFile& inf, const InfEntryRef& entry, bool bFromInstallSection, CVendorDevice& device) {
    std::wstring strWhole;
    WorkText szWork;
    wchar_t* pszCopy = szWork;
    if (!bFromInstallSection) {
        strWhole.assign(TextOrEmpty(entry.Value()));
        pszCopy = &strWhole[0];
    } else {
        CopyWorkText(entry.Value(), szWork);
    }
    std::vector<wchar_t*> items;
    inf.SplitList(pszCopy, items);
    device.m_strDriverDate = TextOrEmpty(items[0]);
    if (bFromInstallSection ? items.size() == 2 : items.size() >= 2) device.m_strDriverVersion = TextOrEmpty(items[1]);
}

void ClearRecord(CVendorDevice& device) {
    device.m_strInstallSection.clear();
    device.m_strServicesSection.clear();
    device.m_strModelsSection.clear();
    device.m_strHardwareId.clear();
    device.m_strDescription.clear();
    device.m_strManufacturer.clear();
    device.m_strDriverDate.clear();
    device.m_strDriverVersion.clear();
    device.m_strCatalogFile.clear();
}

}  // namespace

bool MatchDeviceModel(const wchar_t* platformWord, CInfFile& inf, std::vector<std::wstring>& hardwareIds,
                      CVendorDevice& device, bool requireAmd64) {
    ClearRecord(device);

    InfEntryRef entry;
    if (!inf.FindVersionEntry(L"ClassGUID", entry)) return false;
    if (inf.FindVersionEntry(L"DriverVer", entry)) ReadDriverVer(inf, entry, false, device);
    if (inf.FindVersionEntry(L"CatalogFile", entry)) device.m_strCatalogFile = TextOrEmpty(entry.Value());

    InfSectionRef manufacturers;
    if (!inf.FindSection(L"MANUFACTURER", manufacturers)) return false;

    const CUpperCase upper;
    // "NTX86" or "NTAMD64": what a decoration must contain to open the gate.
    WorkText szTag;
    ComposeName(szTag, {L"NT", platformWord});
    upper.Apply(szTag);

    CDeviceIds ids(hardwareIds, upper);
    std::vector<wchar_t*> list;
    WorkText szDefaultDecoration = L"NTX86";
    for (size_t m = 0; m < manufacturers.GetEntryCount(); ++m) {
        const InfEntryRef manufacturer = manufacturers.GetEntry(m);
        WorkText szManufacturer;
        if (!CopyWorkText(manufacturer.Value(), szManufacturer)) continue;
        inf.SplitList(szManufacturer, list);
        if (list.size() < 2) list.push_back(szDefaultDecoration);

        // An entry that does not serve this platform ends the whole search,
        // not just this entry.
        bool bNamesAmd64 = false;
        if (!OpensPlatformGate(upper, list, szTag, bNamesAmd64)) return false;
        if (requireAmd64 && !bNamesAmd64) return false;

        ModelMatch match;
        if (!FindModelLine(inf, upper, list, ids, match)) continue;
        device.m_strInstallSection = match.pszInstall;
        device.m_strHardwareId = match.pszId;

        WorkText szName;
        InfSectionRef install;
        if (!FindInstallSection(inf, match, szName, install)) continue;
        device.m_strInstallSection = szName;

        InfEntryRef driverVer;
        if (inf.FindDriverVerEntry(install, driverVer)) ReadDriverVer(inf, driverVer, true, device);

        device.m_strServicesSection = FindServicesSection(inf, match, szName) ? szName : L"";
        device.m_strDescription = TextOrEmpty(inf.GetEntryKeyText(match.line));
        device.m_strManufacturer = TextOrEmpty(inf.GetEntryKeyText(manufacturer));
        device.m_strModelsSection = match.szModels;
        return true;
    }
    return false;
}
