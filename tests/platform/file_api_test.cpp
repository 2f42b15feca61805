// Files of the image: the copy's error codes, folders, directory searches and
// the system's message texts.
#include "platform.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

class FileApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.AddRegistry("m.reg", test::RegKey("SOFTWARE\\X"));
        image.AddRawFile("drive_c/Windows/Inf/b.inf", "new");
        image.AddRawFile("drive_c/Windows/Inf/A.INF", "a");
        image.AddRawFile("drive_c/Windows/Inf/c.inf.bak", "c");
        image.AddRawFile("drive_c/Windows/Inf/oem1.inf", "o");
        image.AddRawFile("drive_c/Windows/Inf/notes.txt", "t");
        image.AddRawFile("drive_c/Target/b.inf", "old");
        image.Load();
    }
    test::TestImage image;
};

TEST_F(FileApiTest, CopyOverwritesAndFailsWithWindowsCodes) {
    EXPECT_TRUE(CopyFileW(L"C:\\Windows\\Inf\\b.inf", L"C:\\target\\B.INF", FALSE));
    EXPECT_EQ(image.Read("drive_c/Target/b.inf"), "new");

    const struct {
        const wchar_t* source;
        const wchar_t* target;
        DWORD dwError;
    } kFailures[] = {
        {L"C:\\Windows\\Inf\\missing.inf", L"C:\\Target\\x.inf", ERROR_FILE_NOT_FOUND},
        {L"C:\\Windows\\Nowhere\\b.inf", L"C:\\Target\\x.inf", ERROR_PATH_NOT_FOUND},
        {L"C:\\Windows\\Inf\\b.inf", L"C:\\Nowhere\\x.inf", ERROR_PATH_NOT_FOUND},
        {L"C:\\Windows\\Inf", L"C:\\Target\\x.inf", ERROR_ACCESS_DENIED},
        {L"", L"C:\\Target\\x.inf", ERROR_PATH_NOT_FOUND},
        {L"C:\\Windows\\Inf\\b.inf", L"", ERROR_PATH_NOT_FOUND},
        {L"C:\\Windows\\Inf\\b.inf", L"C:\\Target", ERROR_ACCESS_DENIED},
        {L"C:\\Windows\\Inf\\b.inf", L"C:\\Target\\a|b", ERROR_INVALID_NAME},
        {L"C:\\Windows\\Inf\\b.inf", L"C:\\Windows\\Inf\\b.inf", ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : kFailures) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileW(c.source, c.target, FALSE));
        EXPECT_EQ(GetLastError(), c.dwError) << std::wstring(c.source).size();
    }
    EXPECT_FALSE(image.Exists("drive_c/Target/x.inf"));
}

TEST_F(FileApiTest, FoldersAndAttributes) {
    EXPECT_EQ(GetFileAttributesW(L"c:\\windows"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_NE(GetFileAttributesW(L"C:\\Windows\\Inf\\b.inf"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Windows\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_TRUE(CreateDirectoryW(L"C:\\Target\\New", nullptr));
    EXPECT_TRUE(image.Exists("drive_c/Target/New"));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\TARGET\\new", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\Target\\A\\B", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileApiTest, SearchListsMatchingEntriesSortedIgnoringCase) {
    WIN32_FIND_DATAW data{};
    HANDLE hFind = FindFirstFileW(L"C:\\Windows\\INF\\*.inf", &data);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names{data.cFileName};
    while (FindNextFileW(hFind, &data)) names.push_back(data.cFileName);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(hFind));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"A.INF", L"b.inf", L"oem1.inf"}));

    EXPECT_EQ(FindFirstFileW(L"C:\\Windows\\Inf\\*.cat", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW(L"C:\\Windows\\Nowhere\\*.inf", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(SystemMessages, KnownCodesHaveTheWindowsTextUnknownOnesNone) {
    LPWSTR text = nullptr;
    ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0,
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr),
              0u);
    EXPECT_STREQ(text, L"The system cannot find the file specified.\r\n");
    LocalFree(text);
    text = nullptr;
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xDEAD, 0,
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

}  // namespace
