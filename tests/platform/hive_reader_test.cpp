// Hives read through libhivex serve the registry functions exactly as the
// same keys read from .reg files do, and the hive writer of the tests makes
// hives that other readers accept.
#include "host_control.h"
#include "image_state.h"
#include "platform.h"
#include "support/hive_writer.h"
#include "support/test_image.h"
#include "wide_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

using test::RegDword;
using test::RegKey;
using test::RegString;

// Values of every kind a hive holds, and names that sort in tricky ways.
std::string TrickyRegistryLines() {
    std::string reg = RegKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion") + RegString("SystemRoot", "C:\\Windows");
    reg += RegKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment") +
           RegString("PROCESSOR_ARCHITECTURE", "AMD64");
    reg += RegKey("SOFTWARE\\Vendor") + RegString("Where", "64-bit view");
    reg += RegKey("SOFTWARE\\WOW6432Node\\Vendor") + RegString("Where", "32-bit view");
    reg += RegKey("SYSTEM\\CurrentControlSet\\Values");
    reg += RegString("Text", "abc") + RegString("Empty", "") + RegString("Gr\xC3\xB6\xC3\x9F" "e", "\xC3\xA9t\xC3\xA9");
    reg += test::RegExpandString("Expand", "%SystemRoot%\\x") + test::RegMultiString("Multi", {"one", "two"});
    reg += RegDword("Number", 0x12345678) + "@=\"default\"\r\n";
    reg += "\"OddText\"=hex(1):41,00,42\r\n";  // three bytes: the last unit is half there
    reg += "\"NoTerminator\"=hex(2):41,00,42,00\r\n";
    reg += "\"None\"=hex(0):\r\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n";
    reg += "\"Property\"=hex(ffff0012):de,ad,be,ef\r\n\"Blob\"=hex:00,ff,10\r\n";
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "_under", "z[1]", "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87",
                             "\xC3\x84rger"}) {
        reg += RegKey(std::string("SYSTEM\\CurrentControlSet\\Tree\\") + name) + RegDword("Here", 1);
    }
    return reg;
}

std::string Hex(const BYTE* data, DWORD size) {
    std::string out;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
    }
    return out;
}

// Everything the registry functions tell about a key and its subkeys, in
// their order, as text.
void DumpKey(HKEY hParent, const std::wstring& path, REGSAM sam, std::ostringstream& out) {
    HKEY hKey = nullptr;
    const LONG rc = RegOpenKeyExW(hParent, path.c_str(), 0, sam, &hKey);
    out << "[" << host::Utf8FromWide(path) << "] " << rc << "\n";
    if (rc != ERROR_SUCCESS) return;
    DWORD cSubKeys = 0, cchMaxSubKey = 0, cValues = 0, cchMaxValueName = 0, cbMaxValue = 0;
    RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &cSubKeys, &cchMaxSubKey, nullptr, &cValues, &cchMaxValueName,
                     &cbMaxValue, nullptr, nullptr);
    out << cSubKeys << " " << cchMaxSubKey << " " << cValues << " " << cchMaxValueName << " " << cbMaxValue << "\n";
    for (const wchar_t* name : {L"", L"Text", L"Empty", L"Gr\u00F6\u00DFe", L"Expand", L"Multi", L"Number",
                                L"OddText", L"NoTerminator", L"None", L"Qword", L"Property", L"Blob", L"Here",
                                L"Where"}) {
        DWORD type = 0, size = 0;
        LONG valueRc = RegQueryValueExW(hKey, name, nullptr, &type, nullptr, &size);
        std::vector<BYTE> data(size + 1);
        if (valueRc == ERROR_SUCCESS) valueRc = RegQueryValueExW(hKey, name, nullptr, &type, data.data(), &size);
        if (valueRc != ERROR_FILE_NOT_FOUND) {
            out << "  " << host::Utf8FromWide(name) << " " << valueRc << " " << type << " " << size << " "
                << Hex(data.data(), size) << "\n";
        }
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD cch = 256;
        if (RegEnumKeyExW(hKey, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DumpKey(hKey, name, sam, out);
    }
    RegCloseKey(hKey);
}

std::string DumpRegistry() {
    std::ostringstream out;
    DumpKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Values", KEY_READ, out);
    DumpKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Tree", KEY_READ, out);
    DumpKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vendor", KEY_READ, out);
    DumpKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vendor", KEY_READ | KEY_WOW64_64KEY, out);
    return out.str();
}

TEST(HiveReader, HivesServeTheRegistryFunctionsExactlyAsTheSameRegFilesDo) {
    test::TestImage image;
    test::BuildMachine(image);
    image.AddRegistry("10-tricky.reg", TrickyRegistryLines());
    image.Load();
    const std::string fromRegFiles = DumpRegistry();
    ASSERT_NE(fromRegFiles.find("Text 0 1 16 61000000620000006300000000000000"), std::string::npos) << fromRegFiles;

    image.ConvertRegistryToHives();
    image.Load();
    EXPECT_EQ(DumpRegistry(), fromRegFiles);
    host::UnloadImage();
}

TEST(HiveReader, RegOverlaysApplyOnTopOfHivesThroughCurrentControlSet) {
    test::TestImage image;
    test::BuildMachine(image);
    image.AddRegistry("10-tricky.reg", TrickyRegistryLines());
    image.ConvertRegistryToHives(2);
    image.AddRegistry("50-overlay.reg", RegKey("SYSTEM\\CurrentControlSet\\Values") + RegString("Text", "over") +
                                            "\"Number\"=-\r\n" + RegKey("SOFTWARE\\Added") + RegDword("New", 3));
    image.Load();
    host::RegistryTree& tree = host::Image().registry;
    EXPECT_EQ(host::ReadRegistryText(tree, L"SYSTEM\\ControlSet002\\Values", L"Text"), L"over");
    EXPECT_EQ(host::ReadRegistryText(tree, L"SYSTEM\\CurrentControlSet\\Values", L"Expand"), L"%SystemRoot%\\x");
    DWORD number = 0;
    EXPECT_FALSE(host::ReadRegistryDword(tree, L"SYSTEM\\ControlSet002\\Values", L"Number", &number));
    EXPECT_TRUE(host::ReadRegistryDword(tree, L"SOFTWARE\\Added", L"New", &number));
    EXPECT_EQ(number, 3u);
    host::UnloadImage();
}

TEST(HiveWriter, HivexmlReadsTheWrittenHiveBack) {
    test::TempFolder folder;
    const std::string path = folder.Path() + "/SYSTEM";
    test::WriteHostFile(path, test::HiveFromRegLines(TrickyRegistryLines(), "SYSTEM", 1));
    FILE* pipe = popen(("hivexml '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string xml;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) xml.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << xml;
    for (const char* expected : {"<node name=\"ControlSet001\">", "<node name=\"Select\">",
                                 "<value type=\"int32\" key=\"Current\" value=\"1\">", "<node name=\"ALPHA2\">",
                                 "key=\"Text\" value=\"abc\"", "<node name=\"Environment\">"}) {
        EXPECT_NE(xml.find(expected), std::string::npos) << expected << "\n" << xml;
    }
}

}  // namespace
