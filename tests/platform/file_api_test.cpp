// Files of the image: the copy's error codes, folders, directory searches and
// the system's message texts.
#include "host_control.h"
#include "platform.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

// Names Windows reserves for devices: the null device swallows writes and
// reads as empty, the other devices are ports the machine lacks; none of
// them is ever a file of the image, not even a file of that name found there.
TEST_F(FileApiTest, DeviceNamesAreNeverFilesOfTheImage) {
    image.AddRawFile("drive_c/Target/nul.cat", "a file Windows could not open");
    const auto before = image.Snapshot();
    const struct {
        const wchar_t* name;
        bool bNull;
    } kDevices[] = {
        {L"NUL", true}, {L"nul.cat", true}, {L"Nul. . ", true}, {L"CON", false},
        {L"com1.sys", false}, {L"LPT\u00B2", false}, {L"aux .inf", false}, {L"prn", false},
    };
    for (const auto& device : kDevices) {
        const std::wstring path = std::wstring(L"C:\\Target\\") + device.name;
        const std::string label(path.begin(), path.end());
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << label;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << label;
        EXPECT_FALSE(CreateDirectoryW(path.c_str(), nullptr)) << label;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY)) << label;
        WIN32_FIND_DATAW data{};
        EXPECT_EQ(FindFirstFileW(path.c_str(), &data), INVALID_HANDLE_VALUE) << label;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << label;

        SetLastError(0);
        EXPECT_EQ(CopyFileW(L"C:\\Windows\\Inf\\b.inf", path.c_str(), FALSE) != FALSE, device.bNull) << label;
        EXPECT_EQ(CopyFileW(path.c_str(), L"C:\\Target\\from-device.inf", FALSE) != FALSE, device.bNull) << label;
        HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (!device.bNull) {
            EXPECT_EQ(hFile, INVALID_HANDLE_VALUE) << label;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << label;
            continue;
        }
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << label;
        LARGE_INTEGER size{};
        size.QuadPart = -1;
        EXPECT_TRUE(GetFileSizeEx(hFile, &size));
        EXPECT_EQ(size.QuadPart, 0);
        char buffer[8];
        DWORD nRead = 99;
        EXPECT_TRUE(ReadFile(hFile, buffer, sizeof buffer, &nRead, nullptr));
        EXPECT_EQ(nRead, 0u);
        EXPECT_TRUE(CloseHandle(hFile));
    }
    // The null device read as an empty file; nothing else changed.
    auto after = image.Snapshot();
    EXPECT_EQ(after["drive_c/Target/from-device.inf"], "");
    after.erase("drive_c/Target/from-device.inf");
    EXPECT_EQ(after, before);
}

// The image keeps one attribute, read-only, as the owner's write permission.
TEST_F(FileApiTest, CopyCarriesTheReadOnlyAttributeAndWillNotOverwriteIt) {
    image.AddRawFile("drive_c/Windows/Inf/ro.inf", "read-only");
    ASSERT_EQ(chmod(image.HostPath("drive_c/Windows/Inf/ro.inf").c_str(), 0444), 0);
    const DWORD dwReadOnly = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(GetFileAttributesW(L"C:\\Windows\\Inf\\ro.inf"), dwReadOnly);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Windows\\Inf\\b.inf"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    WIN32_FIND_DATAW data{};
    HANDLE hFind = FindFirstFileW(L"C:\\Windows\\Inf\\ro.*", &data);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, dwReadOnly);
    FindClose(hFind);

    ASSERT_TRUE(CopyFileW(L"C:\\Windows\\Inf\\ro.inf", L"C:\\Target\\ro.inf", FALSE));
    EXPECT_EQ(GetFileAttributesW(L"C:\\Target\\ro.inf"), dwReadOnly);
    EXPECT_FALSE(CopyFileW(L"C:\\Windows\\Inf\\b.inf", L"C:\\Target\\ro.inf", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CopyFileW(L"C:\\Windows\\Inf\\b.inf", L"C:\\Target\\ro.inf", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(image.Read("drive_c/Target/ro.inf"), "read-only");

    // A writable source leaves a writable copy.
    ASSERT_TRUE(CopyFileW(L"C:\\Windows\\Inf\\b.inf", L"C:\\Target\\b.inf", FALSE));
    EXPECT_EQ(GetFileAttributesW(L"C:\\Target\\b.inf"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

// The "\??\" prefix of registry paths names the same files.
TEST_F(FileApiTest, NtPrefixedPathsNameTheSameFiles) {
    EXPECT_TRUE(CopyFileW(L"\\??\\C:\\Windows\\Inf\\oem1.inf", L"\\??\\C:\\Target\\oem1.inf", FALSE));
    EXPECT_EQ(image.Read("drive_c/Target/oem1.inf"), "o");
    EXPECT_EQ(GetFileAttributesW(L"\\??\\c:\\target"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// The fuzz targets feed readers this way: the bytes come back through the
// file functions in place of the image's file, until the image goes.
TEST_F(FileApiTest, AFileServedFromMemoryReadsInPlaceOfTheImagesFile) {
    auto readAll = [](const wchar_t* pszPath) {
        HANDLE hFile = CreateFileW(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) return std::string("<none>");
        LARGE_INTEGER size{};
        EXPECT_TRUE(GetFileSizeEx(hFile, &size));
        std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
        DWORD nRead = 0;
        EXPECT_TRUE(ReadFile(hFile, &bytes[0], static_cast<DWORD>(bytes.size()), &nRead, nullptr));
        EXPECT_EQ(nRead, bytes.size());
        CloseHandle(hFile);
        return bytes;
    };
    host::ServeFileFromMemory(L"C:\\Windows\\Inf\\b.inf", std::string("from\0memory", 11));
    host::ServeFileFromMemory(L"C:\\nowhere\\x.inf", "");
    EXPECT_EQ(readAll(L"c:\\windows\\inf\\B.INF"), std::string("from\0memory", 11));
    EXPECT_EQ(readAll(L"C:\\nowhere\\x.inf"), "");
    EXPECT_EQ(readAll(L"C:\\Windows\\Inf\\A.INF"), "a");
    EXPECT_EQ(image.Read("drive_c/Windows/Inf/b.inf"), "new");
    image.Load();  // a new image serves its own files
    EXPECT_EQ(readAll(L"C:\\Windows\\Inf\\b.inf"), "new");
    EXPECT_EQ(readAll(L"C:\\nowhere\\x.inf"), "<none>");
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

namespace {

// With --output the image is only read: every write into it fails as on
// write-protected media, and the builder's driver folders are the output
// folder, also for a builder that only --variant names.
TEST(ReadOnlyImageFiles, WritesGoToTheOutputFolderOrFailWriteProtected) {
    test::TestImage image;
    test::MachineOptions options;
    options.bInstallKey = false;
    test::BuildMachine(image, options);
    image.AddRawFile("drive_c/Windows/Inf/a.inf", "a");
    test::TestImage output;
    std::vector<std::string> args = {"dravolin", "--image", image.Root(), "--output", output.HostPath("out"),
                                     "--variant", "x64"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    ASSERT_TRUE(host::TakeCommandLine(static_cast<int>(argv.size()), argv.data()));
    ASSERT_TRUE(platform::InitProcessFramework(nullptr, nullptr));
    const auto before = image.Snapshot();

    const std::wstring drivers = L"C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\";
    EXPECT_TRUE(CreateDirectoryW((drivers + L"Disk").c_str(), nullptr));
    EXPECT_TRUE(CopyFileW(L"C:\\Windows\\Inf\\a.inf", (drivers + L"Disk\\a.inf").c_str(), FALSE));
    EXPECT_EQ(output.Read("out/Disk/a.inf"), "a");
    EXPECT_EQ(GetFileAttributesW(L"C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\x64"), FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(CreateDirectoryW(L"C:\\Windows\\New", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_FALSE(CopyFileW(L"C:\\Windows\\Inf\\a.inf", L"C:\\Windows\\Inf\\b.inf", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    // ".." cannot climb out of the driver folders into the image.
    EXPECT_FALSE(CopyFileW(L"C:\\Windows\\Inf\\a.inf", (drivers + L"..\\..\\c.inf").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_TRUE(image.Snapshot() == before);
    host::UnloadImage();
}

}  // namespace
