// The class table: exact GUID texts, ASCII case ignored, nothing trimmed.
#include "common/globals.h"
#include "devices/device_classes.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceClasses, ClassifiesTheFourGuidsAndNothingElse) {
    const struct {
        const wchar_t* guid;
        DeviceCategory category;
    } kCases[] = {
        {L"{4d36e96a-e325-11ce-bfc1-08002be10318}", Hdc},
        {L"{4D36E96A-E325-11CE-BFC1-08002BE10318}", Hdc},
        {L"{4d36e97b-e325-11ce-bfc1-08002be10318}", ScsiAdapter},
        {L"{4d36e972-e325-11ce-bfc1-08002be10318}", Net},
        {L"{36FC9E60-C465-11CF-8056-444553540000}", Usb},
        {L"4d36e96a-e325-11ce-bfc1-08002be10318", DeviceCategoryNone},
        {L"{4d36e96a-e325-11ce-bfc1-08002be10318} ", DeviceCategoryNone},
        {L" {4d36e96a-e325-11ce-bfc1-08002be10318}", DeviceCategoryNone},
        {L"{4d36e968-e325-11ce-bfc1-08002be10318}", DeviceCategoryNone},  // display adapters
        {L"{4d36e96a-e325-11ce-bfc1-08002be1031}", DeviceCategoryNone},
        {L"", DeviceCategoryNone},
    };
    for (const auto& c : kCases) EXPECT_EQ(ClassifyDeviceClass(c.guid), c.category) << std::wstring(c.guid).size();
}

TEST(DeviceClasses, DiskCategoriesShareAFolder) {
    EXPECT_EQ(CategoryFolder(Hdc), &g_strDiskFolder);
    EXPECT_EQ(CategoryFolder(ScsiAdapter), &g_strDiskFolder);
    EXPECT_EQ(CategoryFolder(Net), &g_strNetworkFolder);
    EXPECT_EQ(CategoryFolder(Usb), &g_strUsbFolder);
    EXPECT_EQ(CategoryFolder(DeviceCategoryNone), nullptr);
    EXPECT_EQ(CategoryFolder(static_cast<DeviceCategory>(5)), nullptr);
}

}  // namespace
