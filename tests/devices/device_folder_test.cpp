// A device's folder and the targets of its copies: which names from data are
// let into a path, and that a refused name creates nothing.
#include "app/driver_folders.h"
#include "common/globals.h"
#include "devices/device_folder.h"
#include "devices/file_names.h"
#include "support/log_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

struct NameCase {
    const wchar_t* pszName;
    bool bPlain;
};

// Every refused name either leaves the folder it is put in, or is one that
// Windows turns into another file or into a device.
const NameCase kNames[] = {
    {L"e1d.sys", true},
    {L"...x", true},
    {L"a b.cat", true},
    {L"CONSOLE", true},
    {L"COM10", true},
    {L"LPT", true},
    {L"NULL.inf", true},
    {L"x.CON", true},
    {L"\u00e9t\u00e9.sys", true},
    {L"", false},
    {L".", false},
    {L"..", false},
    {L"...", false},
    {L"a\\b", false},
    {L"a/b", false},
    {L"C:evil", false},
    {L"e1g ", false},
    {L"e1g.", false},
    {L"e1d.sys. ", false},
    {L"a*b", false},
    {L"a?b", false},
    {L"a|b", false},
    {L"a\"b", false},
    {L"a<b>", false},
    {L"tab\there", false},
    {L"CON", false},
    {L"con", false},
    {L"Nul.cat", false},
    {L"nul .txt", false},
    {L"AUX.tar.gz", false},
    {L"prn", false},
    {L"COM1", false},
    {L"com9.sys", false},
    {L"COM0", false},
    {L"lpt1", false},
    {L"LPT\u00b9", false},
    {L"COM\u00b3.cat", false},
};

TEST(FileNames, PlainNamesAreThoseThatStayOneFileOfTheirFolder) {
    for (const NameCase& c : kNames) {
        EXPECT_EQ(IsPlainFileName(c.pszName), c.bPlain) << "name \"" << std::string(c.pszName, c.pszName + wcslen(c.pszName)) << '"';
    }
}

class DeviceFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ServeMachineWithInstallationFound(image);
        ASSERT_TRUE(CreateDriverFolders());
    }
    test::TestImage image;
};

TEST_F(DeviceFolderTest, ServiceNamesThatAreNotPlainNamesCreateNothing) {
    const auto before = image.Snapshot();
    for (const wchar_t* name : {L"", L"..", L"..\\..\\Evil", L"a/b", L"C:\\Evil", L"x:y", L"NUL", L"e1g "}) {
        test::LogCapture log;
        EXPECT_FALSE(CreateDeviceFolder(Net, name));
        EXPECT_EQ(log.Lines(),
                  std::vector<std::string>{"Failed to create target folder for device driver: C:\\Program "
                                           "Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Network\\" +
                                           std::string(name, name + wcslen(name))});
    }
    test::LogCapture log;
    EXPECT_FALSE(CreateDeviceFolder(static_cast<DeviceCategory>(7), L"e1g"));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Failed to create target folder for device driver: "});
    EXPECT_EQ(image.Snapshot(), before);
}

TEST_F(DeviceFolderTest, TheDiskCategoriesShareOneFolderAndAnExistingOneIsFine) {
    test::LogCapture log;
    EXPECT_TRUE(CreateDeviceFolder(Hdc, L"iaStor"));
    EXPECT_TRUE(CreateDeviceFolder(ScsiAdapter, L"iaStor"));
    EXPECT_TRUE(image.Exists(std::string(test::kInstallFolder) + "/Tessaro/Drivers/Disk/iaStor"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(DeviceFileTarget, OnlyPlainNamesAndTheEmptyFileNameAreConfined) {
    test::ResetGlobals();
    g_strUsbFolder = L"C:\\P\\Tessaro\\Drivers\\USB\\";
    const struct {
        const wchar_t* pszService;
        const wchar_t* pszFile;
        bool bConfined;
    } kCases[] = {
        {L"usbx", L"usbx.sys", true},
        {L"usbx", L"", true},  // the folder itself: the copy fails with the system's reason
        {L"", L"usbx.sys", false},
        {L"usbx", L"..", false},
        {L"..", L"usbx.sys", false},
        {L"usbx", L"NUL", false},
        {L"usbx", L"x.cat ", false},
    };
    for (const auto& c : kCases) {
        const CDeviceFileTarget target(Usb, c.pszService, c.pszFile);
        EXPECT_EQ(target.IsConfined(), c.bConfined) << std::string(c.pszFile, c.pszFile + wcslen(c.pszFile));
        EXPECT_EQ(target.Path(), std::wstring(L"C:\\P\\Tessaro\\Drivers\\USB\\") + c.pszService + L"\\" + c.pszFile);
    }
    EXPECT_EQ(CDeviceFileTarget(DeviceCategoryNone, L"usbx", L"usbx.sys").Path(), L"");
}

}  // namespace
