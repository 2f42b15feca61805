// The .reg reader: every value kind and escape, both encodings, deletions,
// and a clear error naming file and line for every malformed line.
#include "reg_file_reader.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using host::RegistryTree;

std::string Apply(const std::string& text, RegistryTree& tree) {
    std::string error;
    host::ApplyRegText(text, "t.reg", tree, &error);
    return error;
}

std::vector<BYTE> Data(RegistryTree& tree, const std::wstring& key, const std::wstring& name, DWORD* pType) {
    host::RegistryNode* node = tree.Find(key);
    const host::RegistryValue* value = node ? node->FindValue(name) : nullptr;
    if (!value) return {};
    *pType = value->dwType;
    return value->data;
}

std::vector<BYTE> Units(const std::wstring& text) {
    std::vector<BYTE> bytes(text.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

struct ValueCase {
    const char* line;
    DWORD dwType;
    std::vector<BYTE> data;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.line; }

class RegValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RegValueTest, StoresTypeAndData) {
    const ValueCase& c = GetParam();
    for (const bool bUtf16 : {false, true}) {
        test::TestImage image;
        image.AddRegistry("t.reg", std::string("[HKEY_LOCAL_MACHINE\\K]\r\n") + c.line + "\r\n",
                          bUtf16 ? test::RegEncoding::Utf16 : test::RegEncoding::Utf8);
        RegistryTree tree;
        std::string error;
        ASSERT_TRUE(host::ApplyRegFile(image.HostPath("registry/t.reg"), tree, &error)) << error;
        DWORD dwType = 99;
        host::RegistryNode* node = tree.Find(L"K");
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(node->Values().size(), 1u) << c.line;
        EXPECT_EQ(Data(tree, L"K", node->Values()[0].strName, &dwType), c.data) << c.line;
        EXPECT_EQ(dwType, c.dwType) << c.line;
    }
}

const ValueCase kValueCases[] = {
    {"\"N\"=\"C:\\\\Windows\"", REG_SZ, Units(std::wstring(L"C:\\Windows") + L'\0')},
    {"\"N\"=\"say \\\"hi\\\"\"", REG_SZ, Units(std::wstring(L"say \"hi\"") + L'\0')},
    {"@=\"default\"", REG_SZ, Units(std::wstring(L"default") + L'\0')},
    {"\"N\"=\"caf\xC3\xA9\"", REG_SZ, Units(std::wstring(L"caf\u00E9") + L'\0')},
    {"\"N\"=dword:0000000a", REG_DWORD, {10, 0, 0, 0}},
    {"\"N\"=hex:01,ff,7F", REG_BINARY, {1, 0xFF, 0x7F}},
    {"\"N\"=hex(2):25,00,53,00,00,00", REG_EXPAND_SZ, Units(std::wstring(L"%S") + L'\0')},
    {"\"N\"=hex(7):61,00,00,00,62,00,00,00,00,00", REG_MULTI_SZ,
     Units(std::wstring(L"a") + L'\0' + L"b" + L'\0' + L'\0')},
    {"\"N\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,00,00", REG_MULTI_SZ,
     Units(std::wstring(L"a") + L'\0' + L"b" + L'\0' + L'\0')},
    {"\"N\"=hex(b):01,00,00,00,00,00,00,00", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
    {"\"N\"=hex:", REG_BINARY, {}},
};

INSTANTIATE_TEST_SUITE_P(ValueKinds, RegValueTest, ::testing::ValuesIn(kValueCases));

TEST(RegFileReader, LaterFilesDeleteKeysAndValues) {
    RegistryTree tree;
    ASSERT_EQ(Apply("Windows Registry Editor Version 5.00\r\n"
                    "[HKEY_LOCAL_MACHINE\\A\\B\\C]\r\n\"v\"=\"1\"\r\n"
                    "[HKEY_LOCAL_MACHINE\\A\\D]\r\n\"v\"=\"1\"\r\n\"w\"=\"2\"\r\n"
                    "; a comment\r\n"
                    "[HKEY_CURRENT_USER\\Ignored]\r\n\"v\"=\"1\"\r\n",
                    tree),
              "");
    ASSERT_EQ(Apply("Windows Registry Editor Version 5.00\r\n"
                    "[-HKEY_LOCAL_MACHINE\\a\\b]\r\n"
                    "[HKEY_LOCAL_MACHINE\\A\\D]\r\n\"V\"=-\r\n",
                    tree),
              "");
    EXPECT_EQ(tree.Find(L"A\\B"), nullptr);
    ASSERT_NE(tree.Find(L"A\\D"), nullptr);
    EXPECT_EQ(tree.Find(L"A\\D")->FindValue(L"v"), nullptr);
    EXPECT_NE(tree.Find(L"a\\d")->FindValue(L"W"), nullptr);
    EXPECT_EQ(tree.Find(L"Ignored"), nullptr);
}

TEST(RegFileReader, Regedit4TextIsOneByteACharacter) {
    RegistryTree tree;
    ASSERT_EQ(Apply("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"E\"=hex(2):25,53,25,00\r\n", tree), "");
    DWORD dwType = 0;
    EXPECT_EQ(Data(tree, L"K", L"E", &dwType), Units(std::wstring(L"%S%") + L'\0'));
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_EXPAND_SZ));
}

std::string Repeat(const std::string& text, size_t nTimes) {
    std::string out;
    while (nTimes-- > 0) out += text;
    return out;
}

TEST(RegFileReader, KeysNestAsDeepAsWindowsAllows) {
    RegistryTree tree;
    ASSERT_EQ(Apply("REGEDIT4\r\n[HKEY_LOCAL_MACHINE" + Repeat("\\k", 512) + "]\r\n", tree), "");
    std::wstring path = L"k";
    for (int i = 1; i < 512; ++i) path += L"\\k";
    EXPECT_NE(tree.Find(path), nullptr);
}

TEST(RegFileReader, MalformedLinesNameFileAndLine) {
    using namespace std::string_literals;  // for bodies that hold a NUL
    const struct {
        std::string body;
        const char* error;
    } kCases[] = {
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=word:1", "t.reg:3: unrecognised value data"},
        {"\"N\"=\"1\"", "t.reg:2: a value before the first [key]"},
        {"[HKEY_LOCAL_MACHINE\\K", "t.reg:2: a key line must end with ']'"},
        {"[HKEY_NOWHERE\\K]", "t.reg:2: unknown root key \"HKEY_NOWHERE\""},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=\"open", "t.reg:3: a quoted text is not closed"},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=\"a\\tb\"", "t.reg:3: unknown escape"},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=dword:123456789", "t.reg:3: dword: takes 1 to 8 hex digits"},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=hex:1g", "t.reg:3: a hex list holds \"1g\""},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=hex:01,\\", "t.reg:3: the file ends inside a continued hex list"},
        {"[HKEY_LOCAL_MACHINE\\K]\r\nstray text", "t.reg:3: unrecognised line"},
        {"[HKEY_LOCAL_MACHINE\\K\0L]"s, "t.reg:2: a key name holds a NUL character"},
        {"[HKEY_LOCAL_MACHINE\\K]\r\n\"N\0M\"=\"1\""s, "t.reg:3: a value name holds a NUL character"},
        {"[HKEY_LOCAL_MACHINE" + Repeat("\\k", 513) + "]", "t.reg:2: a key path deeper than 512 levels"},
    };
    for (const auto& c : kCases) {
        RegistryTree tree;
        const std::string error = Apply("Windows Registry Editor Version 5.00\r\n" + c.body, tree);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.body << " gave: " << error;
    }
    RegistryTree tree;
    EXPECT_EQ(Apply("Windows Registry Editor 4\r\n", tree).rfind("t.reg:1: not a registry file", 0), 0u);
}

}  // namespace
