#include "inf/inf_file.h"

#include "platform.h"

#include <clocale>
#include <cstring>
#include <cwchar>
#include <type_traits>

namespace {

// INF files are small; the platform decoder counts in int, so anything that
// would not fit its count is refused rather than decoded in part.
constexpr uint32_t kMaxFileSize = 0x7FFFFFF0u;

const size_t kNoSection = static_cast<size_t>(-1);
const size_t kKeyBlockChars = 4096;

// Leaves the position on the next LF, or on the end of the text. Most calls
// stand on the CR of a CR LF, which is answered without a library call.
wchar_t* SkipToLineFeed(wchar_t* pPos, const wchar_t* pEnd) {
    if (pEnd - pPos >= 2 && pPos[1] == L'\n' && pPos[0] != L'\n') return pPos + 1;
    wchar_t* pLf = std::wmemchr(pPos, L'\n', static_cast<size_t>(pEnd - pPos));
    return pLf ? pLf : const_cast<wchar_t*>(pEnd);
}

// White space or a control character by the Unicode tables (categories Cc,
// Zs, Zl, Zp), not by the C runtime's locale: whether a "\" continues a line
// must not change with the user's locale, which FindSection switches to.
bool IsSpaceOrControl(wchar_t ch) {
    const uint32_t c = static_cast<uint32_t>(ch);
    if (c <= 0x20 || (c >= 0x7F && c <= 0xA0)) return true;
    if (c >= 0x2000 && c <= 0x200A) return true;
    return c == 0x1680 || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// What a "\" looks at: passing over CRs, is the next character white space or
// a control character? The flag stays as it was when the text ends first.
bool ContinuesAfterBackslash(const wchar_t* pPos, const wchar_t* pEnd, bool bCurrent) {
    while (pPos < pEnd && *pPos == L'\r') ++pPos;
    if (pPos == pEnd) return bCurrent;
    return IsSpaceOrControl(*pPos);
}

// Puts the process under the user's default locale. Asking for it anew
// costs microseconds (the runtime reads the environment and its locale
// tables), so it is done only when the locale in force is not the one that
// the last such call gave: the user's default does not change while the
// program runs, but another part of the process may have set another locale.
void UseUserDefaultLocale() {
    static std::string s_strUserLocale;
    const char* pszCurrent = std::setlocale(LC_ALL, nullptr);
    if (pszCurrent && !s_strUserLocale.empty() && s_strUserLocale == pszCurrent) return;
    const char* pszUser = std::setlocale(LC_ALL, "");
    s_strUserLocale = pszUser ? pszUser : "";
}

bool IsLineBlank(wchar_t ch) { return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n'; }

bool IsTokenOfLength(const wchar_t* pText, size_t nLength) {
    return nLength >= 4 && pText[0] == L'%' && pText[nLength - 1] == L'%' && pText[1] != L'%' &&
           pText[nLength - 2] != L'%';
}

// Passes over leading tabs, spaces, CRs and LFs (and a "\" right before a
// CR) and cuts the trailing ones off with terminators, never before pText;
// pEnd is where the text's terminator stands and becomes the new end.
wchar_t* TrimBlanksTo(wchar_t* pText, wchar_t*& pEnd) {
    while (pText < pEnd && (IsLineBlank(*pText) || (*pText == L'\\' && pText[1] == L'\r'))) ++pText;
    while (pEnd > pText && IsLineBlank(pEnd[-1])) *--pEnd = L'\0';
    return pText;
}

// Where the scan of an entry line's content may stop: at a control
// character (NUL, the end of the text; LF; CR; but also a tab, which the
// scan then passes over), ";", "\\" and, until the first is found, "=".
// Plain content is passed over several characters at a time where the
// compiler offers vector types; the text is followed by kScanPadding zeros,
// so a group read at the end of the text stays inside its buffer.
#if defined(__GNUC__)
// Characters are compared as numbers: 16-bit ones unsigned, 32-bit ones
// (never above 0x10FFFF) signed, which the vector units compare fastest.
using ScanLane = std::conditional_t<sizeof(wchar_t) == 4, int32_t, uint16_t>;
typedef ScanLane ScanGroup __attribute__((vector_size(16)));
typedef uint64_t ScanHalves __attribute__((vector_size(16)));
constexpr size_t kScanLanes = sizeof(ScanGroup) / sizeof(wchar_t);

wchar_t* FindScanCandidate(wchar_t* pScan, bool bEqualsStops) {
    for (;; pScan += kScanLanes) {
        ScanGroup group;
        std::memcpy(&group, pScan, sizeof group);
        ScanGroup hits = (group <= static_cast<ScanLane>(0x0D)) | (group == static_cast<ScanLane>(';')) |
                         (group == static_cast<ScanLane>('\\'));
        if (bEqualsStops) hits |= (group == static_cast<ScanLane>('='));
        const ScanHalves halves = reinterpret_cast<ScanHalves>(hits);
        if ((halves[0] | halves[1]) == 0) continue;
        for (size_t i = 0; i < kScanLanes; ++i) {
            if (hits[i]) return pScan + i;
        }
    }
}
#else
constexpr size_t kScanLanes = 1;

wchar_t* FindScanCandidate(wchar_t* pScan, bool bEqualsStops) {
    for (;; ++pScan) {
        const wchar_t ch = *pScan;
        if (ch <= 0x0D || ch == L';' || ch == L'\\' || (bEqualsStops && ch == L'=')) return pScan;
    }
}
#endif

constexpr size_t kScanPadding = kScanLanes;

}  // namespace

struct CInfFile::ParseState {
    wchar_t* pszSection = nullptr;  // the current section's name
    bool bSeenHeader = false;
    bool bRegistered = false;  // the current section is in m_sections
    bool bContinue = false;    // the continuation flag
};

CInfFile::CInfFile(const std::wstring& path) : m_strPath(path) {}

CInfFile::~CInfFile() { Unload(); }

bool CInfFile::Load() {
    HANDLE hFile = CreateFileW(m_strPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;

    // A size the platform cannot tell, a file too large to decode in one
    // call, or a failing read: the file counts as unreadable and the object
    // stays as it was, so a caller treats it like a file that cannot be opened.
    LARGE_INTEGER size{};
    bool bRead = GetFileSizeEx(hFile, &size) != FALSE && size.QuadPart >= 0 &&
                 size.QuadPart <= static_cast<LONGLONG>(kMaxFileSize);
    const uint32_t nSize = bRead ? static_cast<uint32_t>(size.QuadPart) : 0;
    std::unique_ptr<unsigned char[]> pBytes;
    DWORD nReadBytes = 0;
    if (bRead && nSize > 0) {
        pBytes.reset(new unsigned char[nSize]);
        bRead = ReadFile(hFile, pBytes.get(), nSize, &nReadBytes, nullptr) != FALSE;
    }
    CloseHandle(hFile);
    if (!bRead) return false;

    // An object reads one file once; should Load come again, nothing of the
    // first text is kept that could refer to it.
    Unload();
    m_bParsed = false;
    m_nKeylessLines = 0;
    m_nFileSize = nSize;
    // A file that shrank between the size query and the read is decoded as
    // far as it was read; nothing past the bytes read is ever looked at.
    DecodeText(pBytes.get(), nReadBytes < nSize ? nReadBytes : nSize);
    return true;
}

void CInfFile::DecodeText(const unsigned char* pBytes, uint32_t nBytes) {
    // Every decoding yields at most one character per byte, so size + 1
    // characters hold any text and its terminator (and the scan padding
    // follows). The buffer is not zero-filled: the decoder writes the text
    // and the terminator goes after it.
    m_nTextLimit = m_nFileSize;
    m_pText.reset(new wchar_t[static_cast<size_t>(m_nTextLimit) + 1 + kScanPadding]);
    wchar_t* pText = m_pText.get();
    const int nLimit = static_cast<int>(m_nTextLimit);
    size_t nWritten = 0;
    if (nBytes >= 2 && pBytes[0] == 0xFF && pBytes[1] == 0xFE) {
        nWritten = platform::DecodeUtf16Le(pBytes + 2, nBytes - 2, pText, m_nTextLimit);
        if (nWritten > m_nTextLimit) nWritten = m_nTextLimit;
        // The text ends at its first NUL.
        const wchar_t* pNul = std::wmemchr(pText, L'\0', nWritten);
        if (pNul) nWritten = static_cast<size_t>(pNul - pText);
    } else {
        // The mark is taken as three bytes without looking at the third.
        const bool bUtf8 = nBytes >= 2 && pBytes[0] == 0xEF && pBytes[1] == 0xBB;
        const unsigned char* pInput = bUtf8 ? pBytes + (nBytes < 3 ? nBytes : 3) : pBytes;
        size_t nInput = nBytes - static_cast<size_t>(pInput - pBytes);
        // The text ends at its first NUL, and in UTF-8 and the ANSI code
        // pages only a zero byte gives one: what follows it is not decoded.
        const void* pZero = nInput > 0 ? std::memchr(pInput, 0, nInput) : nullptr;
        if (pZero) nInput = static_cast<size_t>(static_cast<const unsigned char*>(pZero) - pInput);
        if (nInput > 0) {
            const int n = MultiByteToWideChar(bUtf8 ? CP_UTF8 : CP_ACP, 0, reinterpret_cast<const char*>(pInput),
                                              static_cast<int>(nInput), pText, nLimit);
            nWritten = n > 0 ? static_cast<size_t>(n) : 0;
        }
        if (nWritten > m_nTextLimit) nWritten = m_nTextLimit;
    }
    std::wmemset(pText + nWritten, L'\0', 1 + kScanPadding);
    m_pTextEnd = pText + nWritten;
}

bool CInfFile::Parse() {
    if (!m_pText || m_bParsed) return m_bHasStrings;
    m_bParsed = true;

    ParseState state;
    wchar_t* pPos = m_pText.get();
    // The decoder writes at most m_nTextLimit characters, so the first NUL is
    // the only bound; the scans of entry lines rely on that NUL being there.
    wchar_t* pEnd = m_pTextEnd;
    m_entries.reserve(static_cast<size_t>(pEnd - pPos) / 48 + 16);
    while (pPos < pEnd) {
        switch (*pPos) {
        case L'\n':
            break;
        case L'\r':
        case L';':
            pPos = SkipToLineFeed(pPos, pEnd);
            break;
        case L'[':
            pPos = ReadSectionHeader(pPos, pEnd, state);
            break;
        case L'*':
            // Inside a section a leading "*" is dropped; before the first
            // header the whole line goes.
            if (!state.bSeenHeader) pPos = SkipToLineFeed(pPos, pEnd);
            break;
        case L'\\':
            state.bContinue = ContinuesAfterBackslash(pPos + 1, pEnd, state.bContinue);
            break;
        default:
            if (state.bContinue) {
                state.bContinue = false;  // the character is dropped
            } else {
                pPos = ReadEntryLine(pPos, pEnd, state);
            }
            break;
        }
        if (pPos < pEnd) ++pPos;
    }

    const size_t nStrings = FindSectionIndex(L"Strings");
    m_nStringsSection = nStrings;
    m_bHasStrings = nStrings != kNoSection;
    return m_bHasStrings;
}

wchar_t* CInfFile::ReadSectionHeader(wchar_t* pPos, const wchar_t* pEnd, ParseState& state) {
    wchar_t* pName = pPos + 1;
    wchar_t* pClose = std::wmemchr(pName, L']', static_cast<size_t>(pEnd - pName));
    if (!pClose) {
        // A "[" that is never closed: the name would run to the end of the
        // text, so no line is left to give the section an entry. Nothing is
        // recorded and the parse ends here, inside the text.
        return const_cast<wchar_t*>(pEnd);
    }
    *pClose = L'\0';
    state.pszSection = pName;
    state.bSeenHeader = true;
    state.bRegistered = false;

    // The rest of the header line is ignored. A section whose next line is
    // an empty CR LF line exists even without entries; any other section
    // only comes into being with its first stored entry.
    wchar_t* pLf = SkipToLineFeed(pClose, pEnd);
    if (pLf + 1 < pEnd && pLf[1] == L'\r') RegisterSection(state);
    return pLf;
}

wchar_t* CInfFile::ReadEntryLine(wchar_t* pPos, wchar_t* pEnd, ParseState& state) {
    // Find the end of the content: LF, CR or ";", or the end of the text,
    // whose NUL ends every scan.
    wchar_t* pEquals = *pPos == L'=' ? pPos : nullptr;
    wchar_t* pScan = pPos + 1;
    for (;;) {
        pScan = FindScanCandidate(pScan, pEquals == nullptr);
        const wchar_t ch = *pScan;
        if (ch == L'=') {
            pEquals = pScan++;
            continue;
        }
        if (ch != L'\0' && ch != L'\n' && ch != L'\r' && ch < 0x0E) {
            ++pScan;  // a tab or another control character: content
            continue;
        }
        if (*pScan != L'\\' || pScan >= pEnd) break;
        if (pScan + 1 >= pEnd || !IsLineBlank(pScan[1])) {
            ++pScan;  // a "\" inside the content
            continue;
        }
        // A "\" before a blank or a line end joins the next line: it and the
        // blanks and line ends after it become spaces.
        do {
            *pScan++ = L' ';
            while (pScan < pEnd && IsLineBlank(*pScan)) *pScan++ = L' ';
        } while (pScan + 1 < pEnd && *pScan == L'\\' && IsLineBlank(pScan[1]));
        if (pScan >= pEnd) {
            state.bContinue = true;  // the text ended inside the continuation
            break;
        }
        // The first character after it is content, even a ";".
        if (*pScan == L'=' && !pEquals) pEquals = pScan;
        ++pScan;
    }
    if (pScan > pEnd) pScan = pEnd;
    wchar_t* pContentEnd = pScan;
    // The terminators below may overwrite the LF that ended the content; the
    // line is then already done, and the next line must not be skipped.
    const bool bEndsOnLineFeed = pContentEnd < pEnd && *pContentEnd == L'\n';

    wchar_t* pValue = pEquals ? pEquals + 1 : pPos;
    while (pValue < pContentEnd && *pValue == L' ') ++pValue;
    wchar_t* pValueEnd = pContentEnd;
    while (pValueEnd > pValue && pValueEnd[-1] == L' ') --pValueEnd;

    if (pEquals) {
        wchar_t* pKeyEnd = pEquals;
        while (pKeyEnd > pPos && pKeyEnd[-1] == L' ') --pKeyEnd;
        *pKeyEnd = L'\0';
        if (pValueEnd > pValue) {
            *pValueEnd = L'\0';
            StoreEntry(pPos, pValue, state);
        }
    } else if (pValueEnd > pValue) {
        *pValueEnd = L'\0';
        // The counter is one per file and a line before the first header
        // takes a number too, though it is stored nowhere.
        const int32_t nNumber = m_nKeylessLines;
        m_nKeylessLines = static_cast<int32_t>(static_cast<uint32_t>(m_nKeylessLines) + 1u);
        if (state.bSeenHeader) StoreEntry(GenerateKey(state.pszSection, nNumber), pValue, state);
    }

    return bEndsOnLineFeed ? pContentEnd : SkipToLineFeed(pContentEnd, pEnd);
}

void CInfFile::RegisterSection(ParseState& state) {
    m_sections.push_back(InfSection{state.pszSection, m_entries.size(), 0});
    state.bRegistered = true;
}

void CInfFile::StoreEntry(wchar_t* pszKey, wchar_t* pszValue, ParseState& state) {
    // Lines before the first header belong to no section, and no lookup
    // visits them, so they are not kept.
    if (!state.bSeenHeader) return;
    if (!state.bRegistered) RegisterSection(state);
    m_entries.push_back(InfEntry{pszKey, pszValue});
    ++m_sections.back().nEntryCount;
}

wchar_t* CInfFile::GenerateKey(const wchar_t* pszSection, int32_t nNumber) {
    // "<section>_<number>", the number with at least eight digits. Keys are
    // cut from blocks of their own rather than allocated one by one: a file
    // list can hold thousands of lines without "=".
    const size_t nNameLength = std::wcslen(pszSection);
    const size_t nNeeded = nNameLength + 24;
    if (m_generatedKeys.empty() || m_nKeyBlockUsed + nNeeded > m_nKeyBlockSize) {
        m_nKeyBlockSize = nNeeded > kKeyBlockChars ? nNeeded : kKeyBlockChars;
        m_generatedKeys.emplace_back(new wchar_t[m_nKeyBlockSize]);
        m_nKeyBlockUsed = 0;
    }
    wchar_t* pKey = m_generatedKeys.back().get() + m_nKeyBlockUsed;
    wchar_t* pOut = pKey;
    std::wmemcpy(pOut, pszSection, nNameLength);
    pOut += nNameLength;
    *pOut++ = L'_';
    uint32_t nValue = static_cast<uint32_t>(nNumber);
    if (nNumber < 0) {
        *pOut++ = L'-';
        nValue = 0u - nValue;
    }
    wchar_t szDigits[10];
    int nDigits = 0;
    do {
        szDigits[nDigits++] = static_cast<wchar_t>(L'0' + nValue % 10);
        nValue /= 10;
    } while (nValue != 0);
    for (int i = nDigits; i < 8; ++i) *pOut++ = L'0';
    while (nDigits > 0) *pOut++ = szDigits[--nDigits];
    *pOut++ = L'\0';
    m_nKeyBlockUsed += static_cast<size_t>(pOut - pKey);
    return pKey;
}

InfSectionRef CInfFile::MakeSectionRef(size_t nIndex) {
    const InfSection& section = m_sections[nIndex];
    return InfSectionRef(section.pszName, m_entries.data() + section.nFirstEntry, section.nEntryCount);
}

size_t CInfFile::FindSectionIndex(const wchar_t* pszName) {
    // Every section lookup runs under the user's default locale, and so do
    // the conversions that follow it (decimal numbers); case comparisons give
    // the same answers under every locale.
    UseUserDefaultLocale();
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (platform::CompareNoCase(m_sections[i].pszName, pszName) == 0) return i;
    }
    return kNoSection;
}

bool CInfFile::FindSection(const wchar_t* name, InfSectionRef& out) {
    if (!name) return false;
    const size_t nIndex = FindSectionIndex(name);
    if (nIndex == kNoSection) return false;
    out = MakeSectionRef(nIndex);
    return true;
}

bool CInfFile::FindEntryInSection(const InfSectionRef& section, const wchar_t* pszKey, InfEntryRef& out) {
    for (size_t i = 0; i < section.GetEntryCount(); ++i) {
        const InfEntryRef entry = section.GetEntry(i);
        if (platform::CompareNoCase(entry.Key(), pszKey) == 0) {
            out = entry;
            return true;
        }
    }
    return false;
}

bool CInfFile::FindVersionEntry(const wchar_t* key, InfEntryRef& out) {
    InfSectionRef version;
    if (!key || !FindSection(L"Version", version)) return false;
    return FindEntryInSection(version, key, out);
}

bool CInfFile::FindDriverVerEntry(const InfSectionRef& section, InfEntryRef& out) {
    return FindEntryInSection(section, L"DriverVer", out);
}

bool CInfFile::IsStringToken(const wchar_t* pszText) {
    return pszText && IsTokenOfLength(pszText, std::wcslen(pszText));
}

wchar_t* CInfFile::LookupString(const wchar_t* pszToken) {
    if (!m_bHasStrings || !IsStringToken(pszToken)) return nullptr;
    return LookupName(pszToken + 1, std::wcslen(pszToken) - 2);
}

wchar_t* CInfFile::LookupName(const wchar_t* pName, size_t nNameLength) {
    if (!m_bHasStrings) return nullptr;
    // A key that merely begins with the name matches too: the comparison
    // covers as many characters as the name has.
    const InfSection& strings = m_sections[m_nStringsSection];
    for (size_t i = 0; i < strings.nEntryCount; ++i) {
        InfEntry& entry = m_entries[strings.nFirstEntry + i];
        if (platform::CompareNoCaseN(entry.pszKey, pName, nNameLength) == 0) return entry.pszValue;
    }
    return nullptr;
}

wchar_t* CInfFile::TrimBlanks(wchar_t* pszText) {
    if (!pszText) return nullptr;
    wchar_t* pEnd = pszText + std::wcslen(pszText);
    return TrimBlanksTo(pszText, pEnd);
}

void CInfFile::SplitList(wchar_t* pszText, std::vector<wchar_t*>& items) {
    items.clear();
    if (!pszText) {
        items.push_back(nullptr);
        return;
    }
    // Each item ends at a terminator, so its end is known without a scan.
    auto appendItem = [this, &items](wchar_t* pItem, wchar_t* pItemEnd) {
        wchar_t* pTrimmed = TrimBlanksTo(pItem, pItemEnd);
        const size_t nLength = static_cast<size_t>(pItemEnd - pTrimmed);
        items.push_back(IsTokenOfLength(pTrimmed, nLength) ? LookupName(pTrimmed + 1, nLength - 2) : pTrimmed);
    };
    // Commas between double quotes belong to the item; the quotes stay in it.
    bool bQuoted = false;
    wchar_t* pItem = pszText;
    wchar_t* pPos = pszText;
    for (; *pPos; ++pPos) {
        if (*pPos == L'"') {
            bQuoted = !bQuoted;
        } else if (*pPos == L',' && !bQuoted) {
            *pPos = L'\0';
            appendItem(pItem, pPos);
            pItem = pPos + 1;
        }
    }
    appendItem(pItem, pPos);
}

const wchar_t* CInfFile::ResolveEntryText(wchar_t* pszText) {
    if (IsStringToken(pszText)) {
        pszText = LookupString(pszText);
        if (!pszText) return nullptr;
    }
    if (!pszText) return nullptr;
    // Unquoting cuts the closing quote off the stored text, and a later trim
    // would then cut into what was handed out. A text met again (the same
    // entry asked twice, or two tokens for one string) gets its first answer.
    for (const auto& resolved : m_unquotedTexts) {
        if (resolved.first == pszText) return resolved.second;
    }
    wchar_t* pszTrimmed = TrimBlanks(pszText);
    if (pszTrimmed[0] != L'"') return pszTrimmed;
    // Only a text whose one closing quote is its last character and that
    // holds no comma is unquoted.
    wchar_t* pClose = std::wcschr(pszTrimmed + 1, L'"');
    if (!pClose || pClose[1] != L'\0' || std::wcschr(pszTrimmed + 1, L',')) return pszTrimmed;
    *pClose = L'\0';
    m_unquotedTexts.emplace_back(pszText, pszTrimmed + 1);
    return pszTrimmed + 1;
}

const wchar_t* CInfFile::GetEntryKeyText(const InfEntryRef& entry) {
    return entry.GetEntry() ? ResolveEntryText(entry.GetEntry()->pszKey) : nullptr;
}

const wchar_t* CInfFile::GetEntryValueText(const InfEntryRef& entry) {
    return entry.GetEntry() ? ResolveEntryText(entry.GetEntry()->pszValue) : nullptr;
}

void CInfFile::Unload() {
    m_generatedKeys.clear();
    m_unquotedTexts.clear();
    m_pText.reset();
    m_pTextEnd = nullptr;
    // The tables would refer to freed text from here on; emptied, a stray
    // lookup after Unload finds nothing instead of reading freed memory.
    m_sections.clear();
    m_entries.clear();
    m_nStringsSection = kNoSection;
    m_bHasStrings = false;
}
