// CRegistryKey: lazy open, subkey names by index, text and multi-text reads,
// and outputs left alone on failure.
#include "host_control.h"
#include "registry/registry_key.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

using test::RegKey;

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reg = RegKey("SYSTEM\\Dev");
        reg += test::RegMultiString("Three", {"a", "b", "c"});
        reg += test::RegMultiString("Empty", {});
        reg += test::RegString("Text", "only");
        reg += test::RegExpandString("Image", "%SystemRoot%\\system32\\drivers\\x.sys");
        reg += RegKey("SYSTEM\\Dev\\One") + RegKey("SYSTEM\\Dev\\" + std::string(255, 'x')) + RegKey("SYSTEM\\Dev\\Two");
        reg += RegKey("SYSTEM\\Leaf");
        image.AddRegistry("m.reg", reg);
        image.Load();
    }
    void TearDown() override { host::ClearFaults(); }
    test::TestImage image;
};

TEST_F(RegistryKeyTest, OpenGathersInfoAndTheSubkeyNamesThatFit) {
    CRegistryKey key(L"SYSTEM\\Dev", KEY_READ);
    EXPECT_TRUE(key.m_vecSubKeys.empty());
    ASSERT_EQ(key.Open(), ERROR_SUCCESS);
    EXPECT_EQ(key.GetInfo().cSubKeys, 3u);
    // A name of 255 characters needs more room than the 255 offered.
    EXPECT_EQ(key.m_vecSubKeys, (std::vector<std::wstring>{L"One", L"Two"}));
    EXPECT_EQ(key.GetSubKey(), L"SYSTEM\\Dev");

    host::InjectFault("RegOpenKeyExW", L"", ERROR_ACCESS_DENIED, -1);
    EXPECT_EQ(key.Open(), ERROR_SUCCESS) << "an open key is not opened again";
    EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    EXPECT_EQ(key.Open(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.GetInfo().cSubKeys, 3u) << "Close keeps what the last Open read";

    CRegistryKey leaf(L"SYSTEM\\Leaf", KEY_READ);
    host::ClearFaults();
    ASSERT_EQ(leaf.Open(), ERROR_SUCCESS);
    EXPECT_EQ(leaf.GetInfo().cSubKeys, 0u);
    EXPECT_TRUE(leaf.m_vecSubKeys.empty());
}

TEST_F(RegistryKeyTest, FailedQueriesLeaveTheirOutputAlone) {
    CRegistryKey key(L"SYSTEM\\Dev", KEY_READ);
    std::wstring text = L"unchanged";
    EXPECT_EQ(key.QueryStringValue(L"Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, L"unchanged");
    std::vector<std::wstring> list{L"kept"};
    EXPECT_EQ(key.QueryMultiStringValue(L"Missing", list), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(list, std::vector<std::wstring>{L"kept"});

    // The key stayed open: a query no longer needs to open it.
    host::InjectFault("RegOpenKeyExW", L"", ERROR_ACCESS_DENIED, -1);
    EXPECT_EQ(key.QueryStringValue(L"Text", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"only");

    CRegistryKey missing(L"SYSTEM\\Nowhere", KEY_READ);
    EXPECT_EQ(missing.QueryStringValue(L"Text", text), ERROR_ACCESS_DENIED);
    EXPECT_EQ(text, L"only");
}

TEST_F(RegistryKeyTest, TextsAreReadAsStored) {
    CRegistryKey key(L"SYSTEM\\Dev", KEY_READ);
    std::vector<std::wstring> list{L"first"};
    ASSERT_EQ(key.QueryMultiStringValue(L"Three", list), ERROR_SUCCESS);
    EXPECT_EQ(list, (std::vector<std::wstring>{L"first", L"a", L"b", L"c"}));

    std::vector<std::wstring> empty;
    EXPECT_EQ(key.QueryMultiStringValue(L"Empty", empty), ERROR_SUCCESS);
    EXPECT_TRUE(empty.empty());

    std::vector<std::wstring> single;
    EXPECT_EQ(key.QueryMultiStringValue(L"Text", single), ERROR_SUCCESS);
    EXPECT_EQ(single, std::vector<std::wstring>{L"only"});

    std::wstring imagePath;
    EXPECT_EQ(key.QueryStringValue(L"Image", imagePath), ERROR_SUCCESS);
    EXPECT_EQ(imagePath, L"%SystemRoot%\\system32\\drivers\\x.sys");

    std::wstring first;
    EXPECT_EQ(key.QueryStringValue(L"Three", first), ERROR_SUCCESS);
    EXPECT_EQ(first, L"a");
}

}  // namespace
