// CInfFile: decoding, the line syntax, sections, lookups, lists and tokens.
#include "inf/inf_file.h"

#include "host_control.h"
#include "inf_test_image.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

using inftest::Narrow;
using inftest::Wide;

namespace {

// Writes the bytes as C:\test.inf of a fresh image, loads and parses them.
class ParsedInf {
public:
    explicit ParsedInf(const std::string& bytes) : m_inf(m_image.AddFile("test.inf", bytes)) {
        EXPECT_TRUE(m_image.IsReady()) << m_image.Error();
        m_bLoaded = m_inf.Load();
        if (m_bLoaded) m_bHasStrings = m_inf.Parse();
    }
    CInfFile& Inf() { return m_inf; }
    bool Loaded() const { return m_bLoaded; }
    bool HasStrings() const { return m_bHasStrings; }

    // The stored value of a "Version" key; "<none>" when there is no entry.
    std::string VersionValue(const char* pszKey) {
        InfEntryRef entry;
        return m_inf.FindVersionEntry(Wide(pszKey).c_str(), entry) ? Narrow(entry.Value()) : "<none>";
    }
    // "key=value|key=value" for the entries of a section; "<none>" when absent.
    std::string Entries(const char* pszSection) {
        InfSectionRef section;
        if (!m_inf.FindSection(Wide(pszSection).c_str(), section)) return "<none>";
        std::string out;
        for (size_t i = 0; i < section.GetEntryCount(); ++i) {
            const InfEntryRef entry = section.GetEntry(i);
            out += (i ? "|" : "") + Narrow(entry.Key()) + "=" + Narrow(entry.Value());
        }
        return out;
    }

private:
    inftest::CScratchImage m_image;
    CInfFile m_inf;
    bool m_bLoaded = false;
    bool m_bHasStrings = false;
};

// ---------------------------------------------------------------------------
// The same content in every encoding the reader accepts reads the same; text
// with a mark the reader does not know is read as ANSI and ends early.

struct EncodingCase {
    const char* pszName;
    std::string bytes;
    const char* pszProvider;  // "<none>": no such entry
    bool bFullText = false;   // the catalog (x.cat) and the strings are read too
};
void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.pszName; }

const char kEncodedInf[] =
    "[Version]\r\nProvider = Caf\xC3\xA9 \xE2\x82\xAC\r\nCatalogFile = x.cat\r\n[Strings]\r\nA = b\r\n";

std::vector<EncodingCase> EncodingCases() {
    const std::string utf8 = kEncodedInf;
    std::string ansi = utf8;
    ansi.replace(ansi.find("\xC3\xA9"), 2, "\xE9");
    ansi.replace(ansi.find("\xE2\x82\xAC"), 3, "\x80");
    std::string noMark = inftest::Utf16LeWithMark(utf8).substr(2);
    std::string bigEndian = "\xFE\xFF";
    for (size_t i = 0; i < noMark.size(); i += 2) bigEndian += std::string{noMark[i + 1], noMark[i]};
    return {
        {"Utf8WithMark", "\xEF\xBB\xBF" + utf8, "Caf\xC3\xA9 \xE2\x82\xAC", true},
        {"Utf16LeWithMark", inftest::Utf16LeWithMark(utf8), "Caf\xC3\xA9 \xE2\x82\xAC", true},
        // An odd byte count: the last byte is a character of its own.
        {"Utf16LeOddLastByte",
         inftest::Utf16LeWithMark("[Strings]\r\nA = b\r\n[Version]\r\nProvider = Caf\xC3\xA9 \xE2\x82\xAC\r\n"
                                  "CatalogFile = x.ca") + "t",
         "Caf\xC3\xA9 \xE2\x82\xAC", true},
        {"Ansi1252", ansi, "Caf\xC3\xA9 \xE2\x82\xAC", true},
        {"Utf8WithoutMarkReadAsAnsi", utf8, "Caf\xC3\x83\xC2\xA9 \xC3\xA2\xE2\x80\x9A\xC2\xAC", true},
        // Read as ANSI, these end at their first zero byte.
        {"Utf16WithoutMark", noMark, "<none>"},
        {"Utf16BigEndian", bigEndian, "<none>"},
        // The UTF-8 mark is taken as three bytes whatever the third is.
        {"Utf8MarkEatsThirdByte", "\xEF\xBB[[Version]\r\nProvider = p\r\n", "p"},
        {"AnsiEndsAtZeroByte", std::string("[Version]\r\nCatalogFile = x.cat\r\n\0Provider = p\r\n", 47), "<none>"},
    };
}

class EncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EncodingTest, ReadsTheSameContent) {
    ParsedInf inf(GetParam().bytes);
    ASSERT_TRUE(inf.Loaded());
    EXPECT_EQ(inf.VersionValue("Provider"), GetParam().pszProvider);
    if (GetParam().bFullText) {
        EXPECT_EQ(inf.VersionValue("CatalogFile"), "x.cat");
        EXPECT_TRUE(inf.HasStrings());
    }
}

INSTANTIATE_TEST_SUITE_P(Inf, EncodingTest, ::testing::ValuesIn(EncodingCases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

// ---------------------------------------------------------------------------
// One entry line of section "Version" and what a lookup of one key gives.

struct LineCase {
    const char* pszName;
    const char* pszBody;   // follows "[Version]\r\n"
    const char* pszKey;
    const char* pszValue;  // "<none>": no entry
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.pszName; }

const LineCase kLineCases[] = {
    {"InlineComment", "CatalogFile = x.cat ; catalog\r\n", "CatalogFile", "x.cat"},
    {"InlineCommentWithoutBlanks", "CatalogFile=x.cat;catalog\r\n", "CatalogFile", "x.cat"},
    {"KeyIgnoresCase", "catalogfile = x.cat\r\n", "CATALOGFILE", "x.cat"},
    {"TabBeforeEqualsStaysInKey", "CatalogFile\t= x.cat\r\n", "CatalogFile", "<none>"},
    {"LeadingBlanksStayInKey", "  Signature = x\r\n", "Signature", "<none>"},
    {"LeadingBlanksFoundWithThem", "  Signature = x\r\n", "  Signature", "x"},
    {"EmptyValueStoresNothing", "Key =\r\n", "Key", "<none>"},
    {"CommentOnlyValueStoresNothing", "Key = ; note\r\n", "Key", "<none>"},
    {"QuotesDoNotProtectSemicolon", "Key = \"a;b\"\r\n", "Key", "\"a"},
    {"ValueKeepsLaterEquals", "Key = b=c\r\n", "Key", "b=c"},
    {"TrailingTabStays", "Key = v\t\r\n", "Key", "v\t"},
    {"TabsAndControlsAreContent", "Key = a\tb\x01\x0B" "c = d\r\n", "Key", "a\tb\x01\x0B" "c = d"},
    {"LfLineEnds", "A=1\nKey=2\nB=3\n", "Key", "2"},
    {"CrEndsContent", "Key = 1\rjunk\r\n", "Key", "1"},
    {"LastLineWithoutLineEnd", "Key = v", "Key", "v"},
    {"ContinuationJoinsLines", "Key = a, \\\r\n b\r\n", "Key", "a,     b"},
    {"ContinuedSemicolonIsContent", "Key = x \\\n;y\n", "Key", "x   ;y"},
    {"BackslashLineEatsFirstCharacter", "\\\r\nKey = V\r\n", "ey", "V"},
    {"BackslashBeforeTextIsDropped", "\\Key = V\r\n", "Key", "V"},
    {"StarDroppedInsideSection", "*Key = V\r\n", "Key", "V"},
    {"FirstOfTwoKeys", "Key = 1\r\nkey = 2\r\n", "Key", "1"},
};

class LineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTest, StoresWhatTheLineSays) {
    ParsedInf inf(std::string("[Version]\r\n") + GetParam().pszBody);
    EXPECT_EQ(inf.VersionValue(GetParam().pszKey), GetParam().pszValue);
}

INSTANTIATE_TEST_SUITE_P(Inf, LineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

// ---------------------------------------------------------------------------
// Which sections exist, and what they hold: the registration rule, header
// names, lines before the first header, comments and generated keys.

struct SectionCase {
    const char* pszName;
    const char* pszText;
    const char* pszSection;
    const char* pszEntries;  // "<none>": no such section
};
void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.pszName; }

const SectionCase kSectionCases[] = {
    {"EmptyLineAfterHeaderRegisters", "[Version]\r\n\r\n", "Version", ""},
    {"HeaderBeforeHeaderDoesNotExist", "[Version]\r\n[Other]\r\nA = 1\r\n", "Version", "<none>"},
    {"LfOnlyEmptySectionDoesNotExist", "[Version]\n\n[Other]\nA = 1\n", "Version", "<none>"},
    {"NameIsNotTrimmed", "[ Version ]\r\nA = 1\r\n", "Version", "<none>"},
    {"NameWithBlanksFound", "[ Version ]\r\nA = 1\r\n", " Version ", "A=1"},
    {"RestOfHeaderLineIgnored", "[Version] B = 2 ; x\r\nA = 1\r\n", "Version", "A=1"},
    {"NameRunsOverLines", "[Ver\r\nB = 2\r\nsion]\r\nA = 1\r\n", "Ver\r\nB = 2\r\nsion", "A=1"},
    {"UnclosedHeaderReadsToEndOnly", "[Version]\r\nA = 1\r\n[Strings", "Version", "A=1"},
    {"UnclosedHeaderIsNoSection", "[Version]\r\nA = 1\r\n[Strings\r\nB = 2\r\n", "Strings", "<none>"},
    {"LinesBeforeFirstHeaderBelongNowhere", "A = 1\r\n*B = 2\r\nC\r\n[Version]\r\nD = 4\r\n", "Version", "D=4"},
    {"CommentLines", "[Version]\r\n; A = 1\r\n  ; B = 2\r\nC = 3\r\n", "Version", "C=3"},
    {"IndentedHeaderIsKeylessEntry", "[Version]\r\n  [Strings]\r\n", "Version", "Version_00000000=[Strings]"},
    {"TabIndentedCommentIsKeylessEntry", "[Version]\r\n\t; note\r\n", "Version", "Version_00000000=\t"},
    {"TabsOnlyLineIsKeylessEntry", "[Version]\r\n\t\t\r\n", "Version", "Version_00000000=\t\t"},
    {"KeylessLinesNumberedPerFileInFileOrder",
     "foo\r\n[SourceDisksFiles]\r\nfoo.sys\r\nbar.sys = 1\r\nbaz.sys ; x\r\n[Other]\r\nqux\r\n", "SourceDisksFiles",
     "SourceDisksFiles_00000001=foo.sys|bar.sys=1|SourceDisksFiles_00000002=baz.sys"},
    {"KeylessNumberContinuesInNextSection", "[A]\r\nx\r\ny\r\n[Other]\r\nqux\r\n", "Other", "Other_00000002=qux"},
    {"DuplicateSectionsFirstWins", "[Version]\r\nA = 1\r\n[Version]\r\nA = 2\r\nB = 3\r\n", "version", "A=1"},
    {"EmptyFile", "", "Version", "<none>"},
};

class SectionTest : public ::testing::TestWithParam<SectionCase> {};

TEST_P(SectionTest, HoldsItsEntriesInFileOrder) {
    ParsedInf inf(GetParam().pszText);
    EXPECT_EQ(inf.Entries(GetParam().pszSection), GetParam().pszEntries);
}

INSTANTIATE_TEST_SUITE_P(Inf, SectionTest, ::testing::ValuesIn(kSectionCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

TEST(InfFileTest, DriverVerIsFoundInTheGivenSection) {
    ParsedInf inf("[Version]\r\nDriverVer = 1\r\n[Inst]\r\nCopyFiles = x\r\ndriverver = 01/02/2020, 1.0\r\n[Empty]\r\n\r\n");
    InfSectionRef section;
    InfEntryRef entry;
    ASSERT_TRUE(inf.Inf().FindSection(L"inst", section));
    ASSERT_TRUE(inf.Inf().FindDriverVerEntry(section, entry));
    EXPECT_EQ(Narrow(entry.Value()), "01/02/2020, 1.0");
    ASSERT_TRUE(inf.Inf().FindSection(L"Empty", section));
    EXPECT_FALSE(inf.Inf().FindDriverVerEntry(section, entry));
}

TEST(InfFileTest, SectionLookupPutsTheUserLocaleBack) {
    // Comparisons and conversions follow the user's default locale, even
    // when another part of the process set another one in between.
    ParsedInf inf("[Version]\r\nA = 1\r\n");
    const std::string strUser = std::setlocale(LC_ALL, "");
    if (!std::setlocale(LC_ALL, strUser == "C.UTF-8" ? "C" : "C.UTF-8")) GTEST_SKIP() << "no second locale here";
    InfSectionRef section;
    EXPECT_TRUE(inf.Inf().FindSection(L"Version", section));
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), strUser);
}

// ---------------------------------------------------------------------------
// Lists, string tokens and the two accessors.

const char kStringsInf[] =
    "[Version]\r\n"
    "ClassGuid = %ClassGuid%\r\n"
    "Provider = %Disk%\r\n"
    "Quoted = \"  a b  \"\r\n"
    "QuotedComma = \"a,b\"\r\n"
    "InnerQuote = \"a\"b\"\r\n"
    "Unbalanced = \"a, b\r\n"
    "Missing = %Nowhere%\r\n"
    "Same = %DiskName%\r\n"
    "Literal = %a%\r\n"
    "%Disk% = key through a token\r\n"
    "[Strings]\r\n"
    "DiskName = \"Disk One\"\r\n"
    "Disk = Disk Two\r\n"
    "ClassGuid = \"{4d36e97b-e325-11ce-bfc1-08002be10318}\"\r\n";

struct AccessorCase {
    const char* pszKey;
    const char* pszValueText;  // "<none>": the accessor gives none
};
void PrintTo(const AccessorCase& c, std::ostream* os) { *os << c.pszKey; }

const AccessorCase kAccessorCases[] = {
    {"ClassGuid", "{4d36e97b-e325-11ce-bfc1-08002be10318}"},
    // A key that only begins with the token's name matches, and the first wins.
    {"Provider", "Disk One"},
    {"Quoted", "  a b  "},
    {"QuotedComma", "\"a,b\""},
    {"InnerQuote", "\"a\"b\""},
    {"Unbalanced", "\"a, b"},
    {"Missing", "<none>"},
    {"Literal", "%a%"},
};

class AccessorTest : public ::testing::TestWithParam<AccessorCase> {};

TEST_P(AccessorTest, ValueIsResolvedTrimmedAndUnquoted) {
    ParsedInf inf(kStringsInf);
    InfEntryRef entry;
    ASSERT_TRUE(inf.Inf().FindVersionEntry(Wide(GetParam().pszKey).c_str(), entry));
    const wchar_t* pszText = inf.Inf().GetEntryValueText(entry);
    EXPECT_EQ(pszText ? Narrow(pszText) : "<none>", GetParam().pszValueText);
    // Asked again, even after the text was edited in place, the answer holds.
    pszText = inf.Inf().GetEntryValueText(entry);
    EXPECT_EQ(pszText ? Narrow(pszText) : "<none>", GetParam().pszValueText);
}

INSTANTIATE_TEST_SUITE_P(Inf, AccessorTest, ::testing::ValuesIn(kAccessorCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszKey); });

TEST(InfFileTest, KeyAccessorResolvesTheKey) {
    ParsedInf inf(kStringsInf);
    ASSERT_TRUE(inf.HasStrings());
    InfEntryRef entry;
    ASSERT_TRUE(inf.Inf().FindVersionEntry(L"%Disk%", entry));
    EXPECT_EQ(Narrow(inf.Inf().GetEntryKeyText(entry)), "Disk One");
    EXPECT_EQ(Narrow(inf.Inf().GetEntryValueText(entry)), "key through a token");
}

TEST(InfFileTest, TwoTokensForOneQuotedStringReadTheSame) {
    // %Disk% and %DiskName% both stand for the quoted value of "DiskName";
    // unquoting it for the first must not change what the second reads.
    ParsedInf inf(kStringsInf);
    InfEntryRef provider;
    InfEntryRef same;
    ASSERT_TRUE(inf.Inf().FindVersionEntry(L"Provider", provider));
    ASSERT_TRUE(inf.Inf().FindVersionEntry(L"Same", same));
    EXPECT_EQ(Narrow(inf.Inf().GetEntryValueText(provider)), "Disk One");
    EXPECT_EQ(Narrow(inf.Inf().GetEntryValueText(same)), "Disk One");
}

struct ListCase {
    const char* pszName;
    const char* pszText;
    std::vector<const char*> items;  // "<none>": an unresolved token
};
void PrintTo(const ListCase& c, std::ostream* os) { *os << c.pszName; }

const ListCase kListCases[] = {
    {"QuotesAndUnresolvedToken", "a, \"b,c\", %XY%", {"a", "\"b,c\"", "<none>"}},
    {"EmptyText", "", {""}},
    {"EmptyItems", "a,,b,", {"a", "", "b", ""}},
    {"TokensOnlyWhenWellFormed", " %Disk% , %a%,%%x%", {"Disk Two", "%a%", "%%x%"}},
    {"UnclosedQuoteTakesTheRest", "\"a, b, c", {"\"a, b, c"}},
    {"BackslashBeforeCrIsBlank", "x \\\r\n, \\\ry", {"x \\", "y"}},
};

class SplitListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(SplitListTest, CutsAtCommasOutsideQuotes) {
    // No "DiskName" here, so %Disk% resolves to "Disk".
    ParsedInf inf("[Strings]\r\nDisk = Disk Two\r\n");
    std::wstring text = Wide(GetParam().pszText);
    std::vector<wchar_t*> items;
    inf.Inf().SplitList(&text[0], items);
    std::vector<std::string> got;
    for (const wchar_t* pszItem : items) got.push_back(pszItem ? Narrow(pszItem) : "<none>");
    EXPECT_EQ(got, std::vector<std::string>(GetParam().items.begin(), GetParam().items.end()));
}

INSTANTIATE_TEST_SUITE_P(Inf, SplitListTest, ::testing::ValuesIn(kListCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

TEST(InfFileTest, StringTokensNeedFourCharactersAndSingleMarks) {
    EXPECT_TRUE(CInfFile::IsStringToken(L"%ab%"));
    EXPECT_TRUE(CInfFile::IsStringToken(L"%a b%"));
    for (const wchar_t* pszText : {L"%a%", L"%%x%", L"%x%%", L"%ab", L"ab%", L"", L"%%%%"}) {
        EXPECT_FALSE(CInfFile::IsStringToken(pszText)) << Narrow(pszText);
    }
}

TEST(InfFileTest, WithoutStringsNoTokenResolves) {
    ParsedInf inf("[Version]\r\nProvider = %Disk%\r\n");
    EXPECT_FALSE(inf.HasStrings());
    EXPECT_EQ(inf.Inf().LookupString(L"%Disk%"), nullptr);
}

// ---------------------------------------------------------------------------
// Load and the object's life.

TEST(InfFileLoadTest, FilesThatCannotBeReadAreRefused) {
    inftest::CScratchImage image;
    ASSERT_TRUE(image.IsReady()) << image.Error();
    const std::wstring path = image.AddFile("ok.inf", "[Version]\r\nA = 1\r\n");

    CInfFile missing(L"C:\\missing.inf");
    EXPECT_FALSE(missing.Load());
    CInfFile folder(L"C:\\");
    EXPECT_FALSE(folder.Load());

    // A read that fails after the open succeeded: no text, and lookups on
    // the object find nothing.
    host::InjectFault("ReadFile", L"", ERROR_READ_FAULT, 1);
    CInfFile unreadable(path);
    EXPECT_FALSE(unreadable.Load());
    host::ClearFaults();
    EXPECT_FALSE(unreadable.Parse());
    InfEntryRef entry;
    EXPECT_FALSE(unreadable.FindVersionEntry(L"A", entry));

    CInfFile readable(path);
    ASSERT_TRUE(readable.Load());
    readable.Parse();
    EXPECT_TRUE(readable.FindVersionEntry(L"A", entry));
}

TEST(InfFileLoadTest, UnloadLeavesNothingToFind) {
    ParsedInf inf("[Version]\r\nA = 1\r\n[Strings]\r\nB = 2\r\n");
    inf.Inf().Unload();
    InfEntryRef entry;
    InfSectionRef section;
    EXPECT_FALSE(inf.Inf().FindVersionEntry(L"A", entry));
    EXPECT_FALSE(inf.Inf().FindSection(L"Strings", section));
    EXPECT_EQ(inf.Inf().LookupString(L"%B_%"), nullptr);
}

}  // namespace
