// The INF search by hardware ID on its own: which INF files of a folder it
// takes for a device's class.
#include "common/globals.h"
#include "devices/inf_search.h"
#include "support/device_fixtures.h"
#include "support/log_capture.h"
#include "support/test_image.h"

#include <gtest/gtest.h>

namespace {

TEST(InfSearch, OnlyAnInfOfTheDevicesOwnKnownClassIsTaken) {
    test::TestImage image;
    const std::string folder = "drive_c/Windows/Inf/";
    image.AddRawFile(folder + "a_usb.inf", test::DriverInf(test::kUsbGuid, "", {"ACPI\\DEV_1"}));
    image.AddRawFile(folder + "b_display.inf", test::DriverInf(test::kDisplayGuid, "", {"ACPI\\DEV_1"}));
    image.AddRawFile(folder + "d_net.inf", test::DriverInf(test::kNetGuid, "", {"ACPI\\DEV_1"}));
    test::BuildMachine(image);
    image.Load();
    test::ResetGlobals();
    g_bTargetIsX64 = 1;

    const struct {
        DeviceCategory category;
        const char* pszFound;  // below the folder; empty: left as passed
    } kCases[] = {
        {Usb, "a_usb.inf"},
        {Net, "d_net.inf"},
        {Hdc, ""},
        // A device of no known class is no match for an INF of no known class.
        {DeviceCategoryNone, ""},
    };
    for (const auto& c : kCases) {
        std::vector<std::wstring> ids = {L"ACPI\\DEV_1"};
        std::wstring strFound = L"unchanged";
        FindInfByHardwareId(c.category, L"C:\\Windows\\Inf", ids, strFound);
        const std::string expected = *c.pszFound ? std::string("C:\\Windows\\Inf\\") + c.pszFound : "unchanged";
        EXPECT_EQ(std::string(strFound.begin(), strFound.end()), expected) << "category " << c.category;
    }
}

}  // namespace
