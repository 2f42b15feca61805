// Windows paths of the image resolved to host paths: drives, separators,
// case, "." and "..", trailing dots and spaces, paths without a drive, the
// "\??\" form, device names, bad names, and WOW64's System32.
#include "image_paths.h"
#include "image_state.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

std::string Narrow(const wchar_t* path) { return std::string(path, path + wcslen(path)); }

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
        image.AddRawFile("drive_c/.../note.txt", "x");
        image.Load();
    }
    void Expect(const PathCase& c) {
        host::ResolvedPath resolved;
        const DWORD rc = host::ResolveImagePath(c.path, &resolved);
        EXPECT_EQ(rc, c.dwError) << Narrow(c.path);
        EXPECT_EQ(resolved.eDevice, host::DosDevice::None) << Narrow(c.path);
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
        {L"C:\\Windows\\Inf\\", 0, "drive_c/Windows/Inf", true},
        {L"C:\\Windows\\Inf\\Net.inf\\", ERROR_INVALID_NAME, "", false},
    };
    for (const PathCase& c : kCases) Expect(c);
}

// A component followed by a separator loses one trailing dot; the end of the
// whole path loses its dots and spaces; "..." inside a path is a name.
TEST_F(ImagePathTest, TrailingDotsAndSpacesGoAsWindowsTrimsThem) {
    const PathCase kCases[] = {
        {L"C:\\Windows.\\Inf.\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:\\Windows\\Inf\\Net.inf. . .", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:\\Windows\\Inf\\Net.inf  ", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"C:\\Windows..\\Inf", ERROR_PATH_NOT_FOUND, "", false},  // "Windows."
        {L"C:\\Windows \\Inf", ERROR_PATH_NOT_FOUND, "", false},   // "Windows "
        {L"C:\\Windows\\e1g \\", 0, "drive_c/Windows/e1g ", false},
        {L"C:\\Windows\\e1g. \\", 0, "drive_c/Windows/e1g. ", false},
        {L"C:\\...\\note.txt", 0, "drive_c/.../note.txt", true},
        {L"C:\\Windows\\...", 0, "drive_c/Windows", true},
        {L"C:\\Windows\\Inf\\ . ", 0, "drive_c/Windows/Inf", true},
        {L"C:\\Windows\\Inf\\Net.inf\\...", ERROR_INVALID_NAME, "", false},
    };
    for (const PathCase& c : kCases) Expect(c);
}

// The image's current directory is C:\ on every run: a path without a drive
// never reaches the host's current folder.
TEST_F(ImagePathTest, PathsWithoutADriveStayInTheImage) {
    const PathCase kCases[] = {
        {L"Windows\\Inf\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"PE", 0, "drive_c/PE", false},
        {L".", 0, "drive_c", true},
        {L"..\\..\\Windows", 0, "drive_c/Windows", true},
        {L"C:Windows\\Inf", 0, "drive_c/Windows/Inf", true},
        {L"D:PE", 0, "drive_d/PE", true},
        {L"/Windows/Inf/", 0, "drive_c/Windows/Inf", true},
        {L"Missing\\x.inf", ERROR_PATH_NOT_FOUND, "", false},
    };
    for (const PathCase& c : kCases) Expect(c);
}

// "\??\X:\" and "\\?\X:\" hand the rest to the file system as it stands.
TEST_F(ImagePathTest, VerbatimPathsAreTakenAsTheyStand) {
    const PathCase kCases[] = {
        {L"\\??\\C:\\Windows\\Inf\\Net.inf", 0, "drive_c/Windows/Inf/Net.inf", true},
        {L"\\??\\c:\\WINDOWS\\inf\\", 0, "drive_c/Windows/Inf", true},
        {L"\\\\?\\D:\\PE", 0, "drive_d/PE", true},
        {L"\\??\\C:\\Windows\\Inf\\Net.inf.", 0, "drive_c/Windows/Inf/Net.inf.", false},
        {L"\\??\\C:\\Windows\\..\\Inf", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:\\Windows\\.\\Inf", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:\\Windows\\\\Inf", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:\\Windows/Inf", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:\\Windows\\nul", ERROR_INVALID_NAME, "", false},
        {L"\\??\\C:Windows", ERROR_INVALID_NAME, "", false},
        {L"\\??\\Volume{1}\\x", ERROR_PATH_NOT_FOUND, "", false},
        {L"\\??\\E:\\x", ERROR_PATH_NOT_FOUND, "", false},
    };
    for (const PathCase& c : kCases) Expect(c);
}

// A last component whose base name is a device's names that device in any
// folder, whatever follows the base name, a trailing separator too; anywhere
// else it is a name.
TEST_F(ImagePathTest, DeviceNamesNameDevices) {
    const struct {
        const wchar_t* path;
        host::DosDevice eDevice;
    } kCases[] = {
        {L"C:\\Target\\NUL", host::DosDevice::Null},
        {L"nul", host::DosDevice::Null},
        {L"C:\\Windows\\Nul.cat", host::DosDevice::Null},
        {L"C:\\x\\nul.tar.gz", host::DosDevice::Null},
        {L"C:\\x\\NUL. . ", host::DosDevice::Null},
        {L"C:\\x\\nul  .sys", host::DosDevice::Null},
        {L"C:\\x\\con", host::DosDevice::Other},
        {L"C:\\x\\Prn.inf", host::DosDevice::Other},
        {L"aux", host::DosDevice::Other},
        {L"C:\\x\\COM1", host::DosDevice::Other},
        {L"C:\\x\\com0.sys", host::DosDevice::Other},
        {L"C:\\x\\lpt9", host::DosDevice::Other},
        {L"C:\\x\\COM\u00B9", host::DosDevice::Other},
        {L"C:\\x\\lpt\u00B3.txt", host::DosDevice::Other},
        {L"C:\\Windows\\nulx", host::DosDevice::None},
        {L"C:\\Windows\\xnul.txt", host::DosDevice::None},
        {L"C:\\Windows\\com10", host::DosDevice::None},
        {L"C:\\Windows\\lpt", host::DosDevice::None},
        {L"C:\\Windows\\con\\", host::DosDevice::Other},
        {L"C:\\nul\\x\\..", host::DosDevice::Null},
        {L"C:\\Windows\\nul\\..", host::DosDevice::None},
    };
    for (const auto& c : kCases) {
        host::ResolvedPath resolved;
        EXPECT_EQ(host::ResolveImagePath(c.path, &resolved), 0u) << Narrow(c.path);
        EXPECT_EQ(resolved.eDevice, c.eDevice) << Narrow(c.path);
        if (c.eDevice != host::DosDevice::None) {
            EXPECT_EQ(resolved.strHost, "") << Narrow(c.path);
        }
    }
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
        {L"C:\\Windows\\System32\\DriverStore", "drive_c/Windows/System32/DriverStore"},
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

TEST(ImagePathWow64, DriverStoreIsRedirectedBeforeWindows7) {
    test::TestImage image;
    test::MachineOptions options;
    options.nMajorVersion = 6;  // CurrentMinorVersionNumber absent: 6.0, Vista
    test::BuildMachine(image, options);
    image.Load();
    host::ResolvedPath resolved;
    ASSERT_EQ(host::ResolveImagePath(L"C:\\Windows\\System32\\DriverStore", &resolved), 0u);
    EXPECT_EQ(resolved.strHost, image.HostPath("drive_c/Windows/SysWOW64/DriverStore"));
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
