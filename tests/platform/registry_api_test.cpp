// The registry functions keep the Win32 contract: codes, sizes, order, views.
#include "host_control.h"
#include "platform.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

using test::RegKey;
using test::RegString;

class RegistryApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reg = RegKey("SOFTWARE\\Vendor") + RegString("Where", "64-bit view");
        reg += RegKey("SOFTWARE\\WOW6432Node\\Vendor") + RegString("Where", "32-bit view");
        for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) reg += RegKey(std::string("SYSTEM\\Tree\\") + name);
        reg += RegKey("SYSTEM\\Tree\\" + std::string(255, 'L'));
        reg += RegKey("SYSTEM\\Values") + RegString("Text", "abc") + test::RegDword("Number", 7);
        reg += RegKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion") + RegString("SystemRoot", "C:\\Windows");
        reg += RegKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment") +
               RegString("PROCESSOR_ARCHITECTURE", "AMD64");
        image.AddRegistry("m.reg", reg);
        image.Load();
    }
    void TearDown() override { host::ClearFaults(); }

    std::wstring ReadWhere(REGSAM sam) {
        HKEY hKey = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\vendor", 0, sam, &hKey), ERROR_SUCCESS);
        wchar_t buffer[64] = {};
        DWORD cb = sizeof buffer;
        EXPECT_EQ(RegQueryValueExW(hKey, L"WHERE", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &cb),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
        return buffer;
    }

    test::TestImage image;
};

TEST_F(RegistryApiTest, A32BitProcessSeesWow6432NodeUnlessItAsksForThe64BitView) {
    EXPECT_EQ(ReadWhere(KEY_READ), L"32-bit view");
    EXPECT_EQ(ReadWhere(KEY_READ | KEY_WOW64_64KEY), L"64-bit view");
}

TEST_F(RegistryApiTest, SubkeysEnumerateSortedIgnoringCaseAndLongNamesNeedRoom) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Tree", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    DWORD cSubKeys = 0;
    ASSERT_EQ(RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &cSubKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(cSubKeys, 5u);
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD cch = 255;
        LONG rc = RegEnumKeyExW(hKey, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            names.push_back(L"<more data>");
            EXPECT_EQ(cch, 255u) << "the offered size is left alone";
            continue;
        }
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(cch, wcslen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"ALPHA2", L"beta", L"gamma", L"<more data>"}));
    // An index below the last one asked for, or one far beyond it, still
    // names the subkey at that place.
    for (const auto& step : {std::make_pair(3u, L"gamma"), std::make_pair(1u, L"ALPHA2"), std::make_pair(0u, L"Alpha"),
                             std::make_pair(2u, L"beta")}) {
        wchar_t name[256] = {};
        DWORD cch = 256;
        ASSERT_EQ(RegEnumKeyExW(hKey, step.first, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        EXPECT_STREQ(name, step.second) << step.first;
    }
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApiTest, ValueQueriesReportSizesAndErrorsAsWindowsDoes) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Values", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    DWORD cbMaxValueLen = 0;
    ASSERT_EQ(RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &cbMaxValueLen, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(cbMaxValueLen, 4 * sizeof(wchar_t));  // "abc" and its terminator

    wchar_t small[2] = {L'x', L'y'};
    DWORD cb = sizeof small;
    DWORD dwType = 0;
    EXPECT_EQ(RegQueryValueExW(hKey, L"Text", nullptr, &dwType, reinterpret_cast<LPBYTE>(small), &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 4 * sizeof(wchar_t));
    EXPECT_EQ(small[0], L'x');

    DWORD number = 0;
    cb = sizeof number;
    EXPECT_EQ(RegQueryValueExW(hKey, L"number", nullptr, &dwType, reinterpret_cast<LPBYTE>(&number), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RegQueryValueExW(hKey, L"Missing", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    RegCloseKey(hKey);

    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Nowhere", 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND);
    // A key path that starts with a separator is no path below the key; the
    // separator alone names the key itself.
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\SYSTEM\\Values", 0, KEY_READ, &hKey), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
    host::InjectFault("RegOpenKeyExW", L"system\\values", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Values", 0, KEY_READ, &hKey), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Values", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
}

}  // namespace
