// The pure rules of the copy steps: names cut from registry values, the
// description shown, the image path's marker and source, ".inf" to ".cat".
#include "devices/catalog_copy.h"
#include "devices/class_key_inf_copy.h"
#include "devices/device_tree_walk.h"
#include "devices/service_binary_copy.h"

#include <gtest/gtest.h>

namespace {

TEST(CopyRules, InfNameFromMfg) {
    const std::pair<const wchar_t*, const wchar_t*> kCases[] = {
        {L"@oem12.inf,%intel%;Intel Corporation", L"oem12.inf"},
        {L"netrtwlane.inf,%rtk%;Realtek", L"netrtwlane.inf"},
        {L"Intel Corporation", L""},
        {L"", L""},
        {L"@,x", L""},
        {L"@@a.inf,b,c", L"@a.inf"},
    };
    for (const auto& c : kCases) EXPECT_EQ(GetInfNameFromMfg(c.first), c.second) << c.first;
}

TEST(CopyRules, DescriptionShownForADevice) {
    EXPECT_EQ(CleanDeviceDescription(true, L"@net1ic64.inf,%e1d.desc%;Intel(R) Ethernet", L"Unknown device"),
              L"Intel(R) Ethernet");
    EXPECT_EQ(CleanDeviceDescription(true, L"Plain name", L"Unknown device"), L"Plain name");
    EXPECT_EQ(CleanDeviceDescription(true, L"ends in;", L"Unknown device"), L"");
    EXPECT_EQ(CleanDeviceDescription(true, L"", L"ACPI device"), L"ACPI device");
    EXPECT_EQ(CleanDeviceDescription(false, L"ignored", L"ACPI device"), L"ACPI device");
}

TEST(CopyRules, ImagePathMarkerAndSource) {
    const struct {
        const wchar_t* imagePath;
        const wchar_t* source;
    } kCases[] = {
        {L"\\SystemRoot\\System32\\drivers\\e1d.sys", L"C:\\Windows\\System32\\drivers\\e1d.sys"},
        {L"System32\\drivers\\e1d.sys", L"C:\\Windows\\System32\\drivers\\e1d.sys"},
        {L"%SystemRoot%\\System32\\x.sys", L"C:\\Windows\\\\System32\\x.sys"},
        {L"%SystemRoot%\\SystemRoot\\x.sys", L"C:\\Windows\\%SystemRoot%x.sys"},
        {L"\\systemroot\\x.sys", L"C:\\Windows\\\\systemroot\\x.sys"},
        {L"pre\\SystemRoot\\x.sys", L"C:\\Windows\\prex.sys"},
        {L"e1d.sys", L"C:\\Windows\\e1d.sys"},
        {L"", L"C:\\Windows\\"},
        {L"C:\\Vendor\\x.sys", L"C:\\Vendor\\x.sys"},
        {L"\\??\\D:\\Vendor\\x.sys", L"D:\\Vendor\\x.sys"},
        {L"\\??\\Vendor\\x.sys", L"C:\\Windows\\\\??\\Vendor\\x.sys"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(ServiceBinarySource(L"C:\\Windows\\", RemoveSystemRootMarker(c.imagePath)), c.source) << c.imagePath;
    }
}

TEST(CopyRules, InfToCatOnlyInLowerCase) {
    EXPECT_EQ(ReplaceInfWithCat(L"oem3.inf"), L"oem3.cat");
    EXPECT_EQ(ReplaceInfWithCat(L"OEM3.INF"), L"OEM3.INF");
    EXPECT_EQ(ReplaceInfWithCat(L"C:\\a.info\\oem3.inf"), L"C:\\a.cato\\oem3.cat");
    EXPECT_EQ(ReplaceInfWithCat(L".inf.inf"), L".cat.cat");
}

}  // namespace
