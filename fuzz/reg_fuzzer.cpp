// Feeds arbitrary bytes, as the one registry file of an image, through the
// stand-in's registry loading, then reads back every key and value through
// the registry functions the program calls and checks what they promise: a
// file that loads yields keys whose names enumerate with their terminator
// inside the reported length and open again by that name, and values whose
// sizes, types and bytes come back as stored; a file that does not load
// leaves an empty registry and an error that names the file and a line.
#include "host_control.h"
#include "image_state.h"
#include "platform.h"
#include "registry/registry_key.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A broken promise stops the run and names itself.
#define Require(condition) \
    ((condition) ? (void)0 : (std::fprintf(stderr, "reg_fuzzer: broken: %s (line %d)\n", #condition, __LINE__), std::abort()))

// A folder with drive_c, the least an image needs; removed when the run ends.
class CScratchFolder {
public:
    CScratchFolder() {
        char pattern[] = "/tmp/reg-fuzz-XXXXXX";
        Require(mkdtemp(pattern) != nullptr);
        m_strRoot = pattern;
        Require(mkdir((m_strRoot + "/drive_c").c_str(), 0777) == 0);
    }
    ~CScratchFolder() {
        rmdir((m_strRoot + "/drive_c").c_str());
        rmdir(m_strRoot.c_str());
    }
    const std::string& Root() const { return m_strRoot; }

private:
    std::string m_strRoot;
};

// The error of a file that did not load: "fuzz.reg:<line>: <reason>".
void CheckLoadError(const std::string& error) {
    const std::string prefix = "fuzz.reg:";
    Require(error.compare(0, prefix.size(), prefix) == 0);
    size_t pos = prefix.size();
    Require(pos < error.size() && error[pos] >= '1' && error[pos] <= '9');
    while (pos < error.size() && error[pos] >= '0' && error[pos] <= '9') ++pos;
    Require(error.compare(pos, 2, ": ") == 0 && error.size() > pos + 2);
    RegistryKeyInfo info;
    Require(RegQueryInfoKeyW(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &info.cSubKeys, nullptr, nullptr,
                             &info.cValues, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS);
    Require(info.cSubKeys == 0 && info.cValues == 0);
}

bool IsTextType(DWORD dwType) { return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ; }

// One value, read by its name as the program reads values.
void CheckValue(HKEY hKey, CRegistryKey& key, const host::RegistryValue& value, const RegistryKeyInfo& info) {
    // A name that the registry functions cannot pass whole cannot be read.
    Require(value.strName.find(L'\0') == std::wstring::npos);
    Require(value.strName.size() <= info.cbMaxValueNameLen);
    const wchar_t* pszName = value.strName.c_str();

    DWORD dwType = 0;
    DWORD cbData = 0;
    Require(RegQueryValueExW(hKey, pszName, nullptr, &dwType, nullptr, &cbData) == ERROR_SUCCESS);
    Require(dwType == value.dwType && cbData == value.data.size() && cbData <= info.cbMaxValueLen);
    if (IsTextType(dwType)) Require(cbData % sizeof(wchar_t) == 0);

    std::vector<BYTE> data(cbData + 1, 0xA5);
    DWORD cbRead = cbData;
    Require(RegQueryValueExW(hKey, pszName, nullptr, &dwType, data.data(), &cbRead) == ERROR_SUCCESS);
    Require(cbRead == cbData && (cbData == 0 || std::memcmp(data.data(), value.data.data(), cbData) == 0));
    Require(data[cbData] == 0xA5);  // nothing written past the room offered
    if (cbData > 0) {
        cbRead = cbData - 1;
        Require(RegQueryValueExW(hKey, pszName, nullptr, &dwType, data.data(), &cbRead) == ERROR_MORE_DATA);
        Require(cbRead == cbData);
    }

    // The program's own reader: the text up to the first terminator, and the
    // list items that a multi-string holds before its empty one.
    if (!IsTextType(dwType)) return;
    std::wstring strText;
    const std::wstring stored(reinterpret_cast<const wchar_t*>(value.data.data()), cbData / sizeof(wchar_t));
    Require(key.QueryStringValue(value.strName, strText) == ERROR_SUCCESS);
    Require(strText == stored.substr(0, stored.find(L'\0')));
    std::vector<std::wstring> items;
    if (key.QueryMultiStringValue(value.strName, items) == ERROR_SUCCESS) {
        std::wstring joined;
        for (const std::wstring& item : items) {
            Require(!item.empty());
            joined += item + L'\0';
        }
        // The reader's buffer holds a zero past the data.
        Require((stored + L'\0').compare(0, joined.size(), joined) == 0);
    }
}

using PendingKeys = std::vector<std::pair<host::RegistryNode*, HKEY>>;

// One open key. Its subkeys are opened by the names it enumerates and added
// to the keys still to check.
void CheckKey(host::RegistryNode& node, HKEY hKey, PendingKeys& pending) {
    RegistryKeyInfo info;
    Require(RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &info.cSubKeys, &info.cbMaxSubKeyLen, nullptr,
                             &info.cValues, &info.cbMaxValueNameLen, &info.cbMaxValueLen, nullptr,
                             nullptr) == ERROR_SUCCESS);
    Require(info.cSubKeys == node.Children().size() && info.cValues == node.Values().size());

    std::vector<wchar_t> name(info.cbMaxSubKeyLen + 2, L'\x7F');
    for (DWORD i = 0; i < info.cSubKeys; ++i) {
        DWORD cchName = info.cbMaxSubKeyLen + 1;
        Require(RegEnumKeyExW(hKey, i, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS);
        Require(cchName > 0 && cchName <= info.cbMaxSubKeyLen);
        Require(name[cchName] == L'\0' && std::wcslen(name.data()) == cchName);
        Require(name[info.cbMaxSubKeyLen + 1] == L'\x7F');
        Require(std::wmemchr(name.data(), L'\\', cchName) == nullptr);
        host::RegistryNode* pChild = node.FindChild(name.data());
        HKEY hSubKey = nullptr;
        Require(pChild && RegOpenKeyExW(hKey, name.data(), 0, KEY_READ, &hSubKey) == ERROR_SUCCESS);
        pending.emplace_back(pChild, hSubKey);
        // No room for the terminator: the name is not handed out.
        DWORD cchShort = cchName;
        Require(RegEnumKeyExW(hKey, i, name.data(), &cchShort, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_MORE_DATA);
    }
    DWORD cchName = static_cast<DWORD>(name.size());
    Require(RegEnumKeyExW(hKey, info.cSubKeys, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_NO_MORE_ITEMS);

    // The program's key object lists the subkeys whose names fit its buffer.
    CRegistryKey key(L"", KEY_READ, hKey);
    Require(key.Open() == ERROR_SUCCESS);
    Require(key.GetInfo().cSubKeys == info.cSubKeys && key.m_vecSubKeys.size() <= info.cSubKeys);
    for (const std::wstring& strSubKey : key.m_vecSubKeys) Require(!strSubKey.empty() && node.FindChild(strSubKey));
    for (const host::RegistryValue& value : node.Values()) CheckValue(hKey, key, value, info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static const CScratchFolder s_folder;
    const std::vector<host::RegistryFileBytes> files = {
        {"fuzz.reg", std::string(reinterpret_cast<const char*>(pData), nSize)}};
    std::string error;
    if (!host::LoadImageWithRegistry(s_folder.Root(), files, &error)) {
        CheckLoadError(error);
        return 0;
    }
    Require(error.empty());

    // Every key, from the root down, without recursion.
    PendingKeys pending = {{&host::Image().registry.Root(), HKEY_LOCAL_MACHINE}};
    while (!pending.empty()) {
        const auto [pNode, hKey] = pending.back();
        pending.pop_back();
        CheckKey(*pNode, hKey, pending);
        Require(RegCloseKey(hKey) == ERROR_SUCCESS);
    }
    host::UnloadImage();
    return 0;
}
