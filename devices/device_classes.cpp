#include "devices/device_classes.h"

#include "common/globals.h"

namespace {

struct DeviceClass {
    DeviceCategory category;
    const wchar_t* pszClassGuid;
};

// The GUIDs as the system stores them; the comparison makes case irrelevant.
const DeviceClass kDeviceClasses[] = {
    {Hdc, L"{4d36e96a-e325-11ce-bfc1-08002be10318}"},
    {ScsiAdapter, L"{4d36e97b-e325-11ce-bfc1-08002be10318}"},
    {Net, L"{4D36E972-E325-11CE-BFC1-08002BE10318}"},
    {Usb, L"{36FC9E60-C465-11CF-8056-444553540000}"},
};

wchar_t FoldAscii(wchar_t ch) { return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + 32) : ch; }

bool EqualsAsciiNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return i == a.size() && b[i] == L'\0';
}

}  // namespace

DeviceCategory ClassifyDeviceClass(const std::wstring& strClassGuid) {
    for (const DeviceClass& deviceClass : kDeviceClasses) {
        if (EqualsAsciiNoCase(strClassGuid, deviceClass.pszClassGuid)) return deviceClass.category;
    }
    return DeviceCategoryNone;
}

const std::wstring* CategoryFolder(DeviceCategory category) {
    switch (category) {
        case Hdc:
        case ScsiAdapter: return &g_strDiskFolder;
        case Net: return &g_strNetworkFolder;
        case Usb: return &g_strUsbFolder;
        default: return nullptr;
    }
}
