// CInfFile: the program's only reader of Windows setup information (INF)
// files.
//
// One buffer and no copies: Load decodes the whole file once into a single
// wide-text buffer; Parse walks it once, writes terminators into it, and
// records where every section name, key and value lies. Lookups are linear
// scans in file order, ignoring case the same way under every locale (no
// language's special rules, as on Windows); the first match wins. Texts handed out are positions in
// that buffer (or in a generated key) and stay valid until Unload.
//
// Calling order: construct, Load; only after a true Load, Parse once; then
// lookups; then Unload and destruction (or destruction alone).
//
// How the reader behaves where INF files give no rule:
// - The text buffer holds size + 1 characters (and a few zeros of padding for
//   the scan): no decoding yields more characters than the file has bytes,
//   and the text ends at its first NUL whatever follows.
// - A read that fails after the file opened, or a file of 2 GiB or more,
//   makes Load return false with the object as it was before.
// - A "[" with no "]" after it ends the parse: the name would run to the end
//   of the text, so no line is left to belong to it, and nothing is read
//   past the end of the text.
// - Lines without "=" keep their place in file order among their section's
//   entries, under the generated key "<section>_<number>".
// - Unquoting edits the stored text, so the accessors remember what they
//   handed out: a text asked for again reads the same.
// - After Unload every lookup finds nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One stored line: a key (in the text, or generated for a line without "=")
// and its value, both NUL-terminated.
struct InfEntry {
    wchar_t* pszKey;
    wchar_t* pszValue;
};

// Designates one entry of one section.
class InfEntryRef {
public:
    InfEntryRef() = default;
    explicit InfEntryRef(InfEntry* pEntry) : m_pEntry(pEntry) {}

    // The texts as stored: cut by Parse, and by whatever later edited them in
    // place. Null when the reference designates nothing.
    const wchar_t* Key() const { return m_pEntry ? m_pEntry->pszKey : nullptr; }
    const wchar_t* Value() const { return m_pEntry ? m_pEntry->pszValue : nullptr; }

    InfEntry* GetEntry() const { return m_pEntry; }

private:
    InfEntry* m_pEntry = nullptr;
};

// Designates one section: its name and its entries in file order.
class InfSectionRef {
public:
    InfSectionRef() = default;
    InfSectionRef(const wchar_t* pszName, InfEntry* pFirst, size_t nCount)
        : m_pszName(pszName), m_pFirst(pFirst), m_nCount(nCount) {}

    const wchar_t* Name() const { return m_pszName; }
    size_t GetEntryCount() const { return m_nCount; }
    InfEntryRef GetEntry(size_t nIndex) const { return InfEntryRef(m_pFirst + nIndex); }

private:
    const wchar_t* m_pszName = nullptr;
    InfEntry* m_pFirst = nullptr;
    size_t m_nCount = 0;
};

class CInfFile {
public:
    explicit CInfFile(const std::wstring& path);
    virtual ~CInfFile();

    CInfFile(const CInfFile&) = delete;
    CInfFile& operator=(const CInfFile&) = delete;

    // Reads and decodes the file. False when it cannot be opened or read (the
    // object then holds no text, as before the call).
    bool Load();
    // Builds the section table; returns whether section "Strings" exists.
    bool Parse();

    bool FindSection(const wchar_t* name, InfSectionRef& out);
    bool FindVersionEntry(const wchar_t* key, InfEntryRef& out);
    bool FindDriverVerEntry(const InfSectionRef& section, InfEntryRef& out);

    // The stored value of the first "Strings" entry whose key begins with the
    // token's name (the text between its two "%"); null when there is none.
    wchar_t* LookupString(const wchar_t* pszToken);
    // Cuts a text into its comma-separated items, in place. An item that is a
    // string token is replaced by what it stands for (null when unresolved).
    void SplitList(wchar_t* pszText, std::vector<wchar_t*>& items);
    // Strips tabs, spaces, CRs and LFs at both ends, in place.
    static wchar_t* TrimBlanks(wchar_t* pszText);
    // At least four characters, "%" at both ends, and neither "%" doubled.
    static bool IsStringToken(const wchar_t* pszText);

    // The entry's key or value, resolved, trimmed and unquoted; null when it
    // is a string token that does not resolve.
    const wchar_t* GetEntryKeyText(const InfEntryRef& entry);
    const wchar_t* GetEntryValueText(const InfEntryRef& entry);

    // Frees the text and the generated keys.
    void Unload();

private:
    struct InfSection {
        const wchar_t* pszName;
        size_t nFirstEntry;
        size_t nEntryCount;
    };
    struct ParseState;

    void DecodeText(const unsigned char* pBytes, uint32_t nBytes);
    wchar_t* ReadSectionHeader(wchar_t* pPos, const wchar_t* pEnd, ParseState& state);
    wchar_t* ReadEntryLine(wchar_t* pPos, wchar_t* pEnd, ParseState& state);
    void StoreEntry(wchar_t* pszKey, wchar_t* pszValue, ParseState& state);
    void RegisterSection(ParseState& state);
    wchar_t* GenerateKey(const wchar_t* pszSection, int32_t nNumber);
    wchar_t* LookupName(const wchar_t* pName, size_t nNameLength);
    size_t FindSectionIndex(const wchar_t* pszName);
    InfSectionRef MakeSectionRef(size_t nIndex);
    bool FindEntryInSection(const InfSectionRef& section, const wchar_t* pszKey, InfEntryRef& out);
    const wchar_t* ResolveEntryText(wchar_t* pszText);

    std::wstring m_strPath;
    std::unique_ptr<wchar_t[]> m_pText;
    wchar_t* m_pTextEnd = nullptr;
    uint32_t m_nFileSize = 0;
    uint32_t m_nTextLimit = 0;
    int32_t m_nKeylessLines = 0;
    // Sections in the order of their headers. A section's entries always go
    // to the most recently registered section, so each one's entries are one
    // run of m_entries, in file order, key-less lines included.
    std::vector<InfSection> m_sections;
    std::vector<InfEntry> m_entries;
    // The generated keys, in blocks of which the last is being filled.
    std::vector<std::unique_ptr<wchar_t[]>> m_generatedKeys;
    size_t m_nKeyBlockSize = 0;
    size_t m_nKeyBlockUsed = 0;
    // Texts the accessors unquoted: the stored text (before trimming) and
    // what was handed out for it.
    std::vector<std::pair<const wchar_t*, const wchar_t*>> m_unquotedTexts;
    size_t m_nStringsSection = static_cast<size_t>(-1);
    bool m_bHasStrings = false;
    bool m_bParsed = false;
};
