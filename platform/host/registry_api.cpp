// The registry functions, over the image's registry tree.
#include "image_state.h"
#include "platform_api.h"
#include "wide_text.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>

// An open key: the node it names. Nodes live as long as the image.
struct HKEY__ {
    host::RegistryNode* pNode;
    // Where the last enumeration step stood: the program enumerates by
    // rising index, and a hive key may hold many thousand subkeys, so each
    // step goes on from there instead of walking from the first.
    DWORD dwEnumIndex = 0;
    host::RegistryNode::ChildMap::const_iterator itEnum{};
    bool bEnumValid = false;
};

namespace {

// Open keys, owned here: a key whose closing failed stays open, as on
// Windows, and is freed with the rest when the process ends.
std::map<HKEY, std::unique_ptr<HKEY__>>& OpenKeys() {
    static std::map<HKEY, std::unique_ptr<HKEY__>> keys;
    return keys;
}

bool IsPredefined(HKEY hKey) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    return value >= 0x80000000u && value <= 0x80000006u;
}

// The node a handle stands for; null for an invalid handle or a hive the
// image does not hold.
host::RegistryNode* NodeOf(HKEY hKey, LONG* pError) {
    if (hKey == HKEY_LOCAL_MACHINE) return &host::Image().registry.Root();
    if (IsPredefined(hKey)) {
        *pError = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    if (OpenKeys().count(hKey) == 0) {
        *pError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return hKey->pNode;
}

// A 32-bit process on 64-bit Windows sees SOFTWARE\WOW6432Node in place of
// the keys below SOFTWARE unless it asks for the 64-bit view.
std::vector<std::wstring> ViewPath(HKEY hKey, const std::wstring& subKey, REGSAM sam) {
    std::vector<std::wstring> parts = host::SplitRegistryPath(subKey);
    if (hKey == HKEY_LOCAL_MACHINE && host::Image().bIs64Bit && !(sam & KEY_WOW64_64KEY) && parts.size() >= 2 &&
        host::EqualsNoCase(parts[0], L"SOFTWARE") && !host::EqualsNoCase(parts[1], L"WOW6432Node")) {
        parts.insert(parts.begin() + 1, L"WOW6432Node");
    }
    return parts;
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    // "\" alone names the key itself; a longer path that starts with "\" is
    // no path below the key, and Windows refuses it.
    const std::wstring subKey = lpSubKey && std::wcscmp(lpSubKey, L"\\") != 0 ? lpSubKey : L"";
    DWORD code = 0;
    if (host::TakeFault("RegOpenKeyExW", subKey, &code)) return static_cast<LONG>(code);
    if (!subKey.empty() && subKey[0] == L'\\') return ERROR_BAD_PATHNAME;
    LONG error = ERROR_SUCCESS;
    host::RegistryNode* node = NodeOf(hKey, &error);
    if (!node) return error;
    for (const std::wstring& part : ViewPath(hKey, subKey, samDesired)) {
        node = node->FindChild(part);
        if (!node) return ERROR_FILE_NOT_FOUND;
    }
    auto key = std::make_unique<HKEY__>();
    key->pNode = node;
    HKEY handle = key.get();
    OpenKeys().emplace(handle, std::move(key));
    *phkResult = handle;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime) {
    LONG error = ERROR_SUCCESS;
    host::RegistryNode* node = NodeOf(hKey, &error);
    if (!node) return error;
    DWORD code = 0;
    if (host::TakeFault("RegQueryInfoKeyW", node->strName, &code)) return static_cast<LONG>(code);
    // Keys read from .reg files have no class text.
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    DWORD maxSubKey = 0;
    for (const auto& child : node->Children()) {
        maxSubKey = std::max<DWORD>(maxSubKey, static_cast<DWORD>(child.second->strName.size()));
    }
    DWORD maxValueName = 0;
    DWORD maxValueData = 0;
    for (const host::RegistryValue& value : node->Values()) {
        maxValueName = std::max<DWORD>(maxValueName, static_cast<DWORD>(value.strName.size()));
        maxValueData = std::max<DWORD>(maxValueData, static_cast<DWORD>(value.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(node->Children().size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(node->Values().size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValueData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    LONG error = ERROR_SUCCESS;
    host::RegistryNode* node = NodeOf(hKey, &error);
    if (!node) return error;
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    if (dwIndex >= node->Children().size()) return ERROR_NO_MORE_ITEMS;
    host::RegistryNode::ChildMap::const_iterator it;
    const bool bHandle = hKey != HKEY_LOCAL_MACHINE;  // the root has no handle object to keep a place in
    if (bHandle && hKey->bEnumValid && hKey->dwEnumIndex <= dwIndex) {
        it = hKey->itEnum;
        std::advance(it, dwIndex - hKey->dwEnumIndex);
    } else {
        it = node->Children().begin();
        std::advance(it, dwIndex);
    }
    if (bHandle) {
        hKey->dwEnumIndex = dwIndex;
        hKey->itEnum = it;
        hKey->bEnumValid = true;
    }
    const std::wstring& name = it->second->strName;
    DWORD code = 0;
    if (host::TakeFault("RegEnumKeyExW", name, &code)) return static_cast<LONG>(code);
    // The name and its terminator must fit in the room offered.
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::wmemcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    LONG error = ERROR_SUCCESS;
    host::RegistryNode* node = NodeOf(hKey, &error);
    if (!node) return error;
    const std::wstring name = lpValueName ? lpValueName : L"";
    DWORD code = 0;
    if (host::TakeFault("RegQueryValueExW", name, &code)) return static_cast<LONG>(code);
    const host::RegistryValue* value = node->FindValue(name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (lpType) *lpType = value->dwType;
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size > 0) std::memcpy(lpData, value->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) return ERROR_SUCCESS;
    auto it = OpenKeys().find(hKey);
    if (it == OpenKeys().end()) return ERROR_INVALID_HANDLE;
    DWORD code = 0;
    if (host::TakeFault("RegCloseKey", hKey->pNode->strName, &code)) return static_cast<LONG>(code);
    OpenKeys().erase(it);
    return ERROR_SUCCESS;
}

int lstrlenW(LPCWSTR lpString) { return lpString ? static_cast<int>(std::wcslen(lpString)) : 0; }
