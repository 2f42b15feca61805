// Windows paths of the image resolved to host paths: drives, separators,
// case, "." and "..", bad names, and WOW64's System32.
#include "image_paths.h"
#include "image_state.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const wchar_t* path;
    DWORD dwError;
    const char* hostBelowRoot;  // expected host path below the image root
    bool bExists;
};

class ImagePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.AddRegistry("m.reg", test::RegKey("SOFTWARE\\X"));
        image.AddRawFile("drive_c/Windows/Inf/Net.inf", "x");
        image.AddRawFile("drive_c/Windows/System32/drivers/e1.sys", "x");
        image.AddFolder("drive_d/PE");
        image.Load();
    }
    void Expect(const PathCase& c) {
        host::ResolvedPath resolved;
        const DWORD rc = host::ResolveImagePath(c.path, &resolved);
        EXPECT_EQ(rc, c.dwError) << std::string(c.path, c.path + wcslen(c.path));
        if (rc == ERROR_SUCCESS) {
            EXPECT_EQ(resolved.strHost, image.HostPath(c.hostBelowRoot));
            EXPECT_EQ(resolved.bExists, c.bExists);
        }
    }
    test::TestImage image;
};

TEST_F(ImagePathTest, ResolvesLikeWindows) {
    const PathCase kCases[] = {
        {L"C:\\Windows\\Inf\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"c:\\WINDOWS\\inf\\NET.INF", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:/Windows//Inf\\.\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"\\Windows\\Inf\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:\\Windows\\\\system32\\DRIVERS\\e1.sys", 0, "drive_c/Windows/System32/drivers/e1.sys", true},
        {L"C:\\..\\..\\Windows\\Inf\\..\\Inf\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:\\Windows\\Inf\\New.inf", 0, "drive_c/Windows/Inf/New.inf", false},
        {L"C:\\windows\\inf\\New Folder", 0, "drive_c/Windows/Inf/New Folder", false},
        {L"D:\\PE", 0, "drive_d/PE", true},
        {L"C:\\", 0, "drive_c", true},
        {L"", ERROR_PATH_NOT_FOUND, "", false},
        {L"E:\\x", ERROR_PATH_NOT_FOUND, "", false},
        {L"C:\\Missing\\x.inf", ERROR_PATH_NOT_FOUND, "", false},
        {L"C:\\Windows\\Inf\\Net.inf\\x", ERROR_PATH_NOT_FOUND, "", false},
        {L"C:\\Windows\\a:b", ERROR_INVALID_NAME, "", false},
        {L"C:\\Windows\\a*", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:\\Windows\\x.sys", ERROR_INVALID_NAME, "", false},
        {L"C:\\Windows\\...", ERROR_INVALID_NAME, "", false},
        {L"C:\\Windows\\Inf\\", 0, "drive_c/Windows/Inf", true},
        {L"C:\\Windows\\Inf\\Net.inf\\", ERROR_INVALID_NAME, "", false},
    };
    for (const PathCase& c : kCases) Expect(c);
}

TEST(ImagePathWow64, System32IsSysWow64UntilRedirectionIsOff) {
    test::TestImage image;
    test::BuildMachine(image);
    image.Load();
    const struct {
        const wchar_t* path;
        const char* redirected;
    } kCases[] = {
        {L"C:\\Windows\\System32\\drivers", "drive_c/Windows/SysWOW64/drivers"},
        {L"C:\\WINDOWS\\system32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}",
         "drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}"},
        {L"C:\\Windows\\System32\\drivers\\etc", "drive_c/Windows/System32/drivers/etc"},
        {L"C:\\Windows\\Inf\\System32", "drive_c/Windows/Inf/System32"},
    };
    for (const auto& c : kCases) {
        host::ResolvedPath resolved;
        ASSERT_EQ(host::ResolveImagePath(c.path, &resolved), 0u);
        EXPECT_EQ(resolved.strHost, image.HostPath(c.redirected));
    }
    host::Image().bFsRedirectionDisabled = true;
    host::ResolvedPath resolved;
    ASSERT_EQ(host::ResolveImagePath(L"C:\\Windows\\System32\\drivers", &resolved), 0u);
    EXPECT_EQ(resolved.strHost, image.HostPath("drive_c/Windows/System32/drivers"));
}

TEST(ImagePathWow64, A32BitImageIsNotRedirected) {
    test::TestImage image;
    test::MachineOptions options;
    options.b64BitWindows = false;
    test::BuildMachine(image, options);
    image.Load();
    host::ResolvedPath resolved;
    ASSERT_EQ(host::ResolveImagePath(L"C:\\Windows\\System32\\drivers", &resolved), 0u);
    EXPECT_EQ(resolved.strHost, image.HostPath("drive_c/Windows/System32/drivers"));
}

}  // namespace
