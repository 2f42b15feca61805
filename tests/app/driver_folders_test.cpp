// The category folders and the per-device folders, including service names
// that would lead outside the driver folders.
#include "app/driver_folders.h"
#include "app/globals.h"
#include "host_control.h"
#include "support/log_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

class DriverFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::BuildMachine(image);
        image.Load();
        test::ResetGlobals();
        g_strInstallDir = L"C:\\Program Files\\Tessaro\\Pelvane\\";
    }
    std::string Drivers(const std::string& below) const {
        return std::string(test::kInstallFolder) + "/Tessaro/Drivers/" + below;
    }
    test::TestImage image;
};

TEST_F(DriverFoldersTest, OneFolderThatCannotBeCreatedFailsTheStageButNotTheOthers) {
    test::LogCapture log;
    host::InjectFault("CreateDirectoryW", L"\\Network\\", ERROR_ACCESS_DENIED, -1);
    EXPECT_FALSE(CreateDriverFolders());
    EXPECT_EQ(g_strNetworkFolder, L"C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Network\\");
    EXPECT_TRUE(image.Exists(Drivers("Disk")));
    EXPECT_FALSE(image.Exists(Drivers("Network")));
    EXPECT_TRUE(image.Exists(Drivers("USB")));
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{
                  "Failed to create folder: C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Network\\"});
}

TEST_F(DriverFoldersTest, ExistingFoldersAreFineAndLogNothing) {
    image.AddFolder(Drivers("Disk"));
    image.AddFolder(Drivers("Network"));
    test::LogCapture log;
    EXPECT_TRUE(CreateDriverFolders());
    EXPECT_TRUE(CreateDeviceFolder(Hdc, L"iaStor"));
    EXPECT_TRUE(CreateDeviceFolder(ScsiAdapter, L"iaStor"));
    EXPECT_TRUE(image.Exists(Drivers("Disk/iaStor")));
    EXPECT_TRUE(log.Lines().empty());
}

// The folder paths end in a backslash, and Windows refuses that name for a
// file: a file in a category folder's place fails the stage.
TEST_F(DriverFoldersTest, AFileInPlaceOfACategoryFolderFailsTheStage) {
    image.AddRawFile(Drivers("Network"), "not a folder");
    test::LogCapture log;
    EXPECT_FALSE(CreateDriverFolders());
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{
                  "Failed to create folder: C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Network\\"});
    EXPECT_EQ(image.Read(Drivers("Network")), "not a folder");
}

TEST_F(DriverFoldersTest, ServiceNamesThatAreNotPlainNamesCreateNothing) {
    ASSERT_TRUE(CreateDriverFolders());
    const auto before = image.Snapshot();
    for (const wchar_t* name : {L"", L".", L"..", L"..\\..\\Evil", L"a/b", L"C:\\Evil", L"x:y"}) {
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

}  // namespace
