// The Linux decoders behind Load: UTF-8 and the ANSI code pages through
// MultiByteToWideChar, UTF-16LE through platform::DecodeUtf16Le.
#include "platform.h"

#include "inf_test_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Decode(UINT nCodePage, const std::string& bytes) {
    std::wstring out(bytes.size() + 1, L'#');
    const int n = MultiByteToWideChar(nCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0],
                                      static_cast<int>(out.size()));
    EXPECT_GT(n, 0);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

struct DecodeCase {
    const char* pszName;
    UINT nCodePage;
    std::string bytes;
    std::wstring expected;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.pszName; }

const std::string kLongAscii = "abcdefghijklmnopqrstuvwxyz0123456789";

std::vector<DecodeCase> DecodeCases() {
    return {
        {"Utf8Ascii", CP_UTF8, kLongAscii, L"abcdefghijklmnopqrstuvwxyz0123456789"},
        {"Utf8WithinAsciiRuns", CP_UTF8, kLongAscii + "\xC3\xA9" + kLongAscii + "\xE2\x82\xAC",
         L"abcdefghijklmnopqrstuvwxyz0123456789\u00E9abcdefghijklmnopqrstuvwxyz0123456789\u20AC"},
        {"Utf8FourBytes", CP_UTF8, "\xF0\x9F\x98\x80!", std::wstring(1, static_cast<wchar_t>(0x1F600)) + L"!"},
        // One U+FFFD per maximal ill-formed subpart.
        {"Utf8StrayContinuation", CP_UTF8, "a\x80" "b", L"a\uFFFDb"},
        {"Utf8CutAtEnd", CP_UTF8, "a\xE2\x82", L"a\uFFFD"},
        {"Utf8CutBeforeAscii", CP_UTF8, "\xE2\x82X\xC3", L"\uFFFDX\uFFFD"},
        {"Utf8Overlong", CP_UTF8, "\xC0\xAF\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"Utf8EncodedSurrogate", CP_UTF8, "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"Utf8AboveUnicode", CP_UTF8, "\xF4\x90\x80\x80\xF8", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"Utf8EmbeddedZero", CP_UTF8, std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"Cp1252", CP_ACP, kLongAscii + "\x80\x81\x9F\xE9\xFF",
         L"abcdefghijklmnopqrstuvwxyz0123456789\u20AC\u0081\u0178\u00E9\u00FF"},
    };
}

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, DecodesLikeWindows) {
    inftest::CScratchImage image;  // the ANSI code page is the image's: 1252 by default
    ASSERT_TRUE(image.IsReady()) << image.Error();
    EXPECT_EQ(Decode(GetParam().nCodePage, GetParam().bytes), GetParam().expected);
    // Asked for the size only, it gives the same count.
    EXPECT_EQ(MultiByteToWideChar(GetParam().nCodePage, 0, GetParam().bytes.data(),
                                  static_cast<int>(GetParam().bytes.size()), nullptr, 0),
              static_cast<int>(GetParam().expected.size()));
}

INSTANTIATE_TEST_SUITE_P(CodePages, DecodeTest, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.pszName); });

TEST(CodePagesTest, AnsiFollowsTheImageCodePage) {
    {
        inftest::CScratchImage cyrillic(1251);
        ASSERT_TRUE(cyrillic.IsReady()) << cyrillic.Error();
        EXPECT_EQ(Decode(CP_ACP, "x\xC0\xFF"), L"x\u0410\u044F");
    }
    {
        // A double-byte code page: the trail byte may look like ASCII.
        inftest::CScratchImage japanese(932);
        ASSERT_TRUE(japanese.IsReady()) << japanese.Error();
        EXPECT_EQ(Decode(CP_ACP, "a\x82\xA0\x83\x41z"), L"a\u3042\u30A2z");
    }
}

TEST(CodePagesTest, TooSmallBufferIsLeftAlone) {
    wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcdef", 6, buffer, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(buffer, 4), L"####");
    // Fewer characters than bytes fit a buffer smaller than the byte count.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE2\x82\xAC\xE2\x82\xAC", 6, buffer, 3), 2);
    EXPECT_EQ(std::wstring(buffer, 2), L"\u20AC\u20AC");
    // -1: the text runs to its NUL, which is decoded too.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, buffer, 4), 3);
    EXPECT_EQ(std::wstring(buffer, 3), std::wstring(L"ab\0", 3));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 0, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePagesTest, Utf16JoinsPairsAndKeepsLoneSurrogates) {
    const std::string bytes("A\0\x3D\xD8\x00\xDE" "\x00\xDC" "B\0\x3D\xD8" "C\0" "\x3D\xD8" "Z", 17);
    wchar_t out[16] = {};
    const size_t n = platform::DecodeUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out,
                                             16);
    // The odd last byte is one more character, its high byte zero.
    EXPECT_EQ(std::wstring(out, n), std::wstring({L'A', static_cast<wchar_t>(0x1F600), static_cast<wchar_t>(0xDC00),
                                                  L'B', static_cast<wchar_t>(0xD83D), L'C',
                                                  static_cast<wchar_t>(0xD83D), L'Z'}));
    EXPECT_EQ(platform::DecodeUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out, 2),
              2u);
}

}  // namespace
