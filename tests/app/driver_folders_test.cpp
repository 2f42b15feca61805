// Stage 2: the category folders.
#include "app/driver_folders.h"
#include "common/globals.h"
#include "host_control.h"
#include "support/log_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

class DriverFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ServeMachineWithInstallationFound(image);
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
    EXPECT_TRUE(image.Exists(Drivers("USB")));
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

}  // namespace
