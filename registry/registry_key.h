// CRegistryKey: every registry read of the program goes through it.
//
// An object names a key (root, path, access mask) without opening it; the
// key opens on first use, and opening also reads the key's information record
// and the names of its direct subkeys, so a scan can walk a tree by index.
// Every fallible call returns the Win32 error code (0 is success); a failed
// query leaves its output exactly as it was. The object never logs.
#pragma once

#include "platform.h"

#include <string>
#include <vector>

struct RegistryKeyInfo {
    std::wstring strClass;
    DWORD cchClass = 0;
    DWORD cSubKeys = 0;
    DWORD cbMaxSubKeyLen = 0;
    DWORD cbMaxClassLen = 0;
    DWORD cValues = 0;
    DWORD cbMaxValueNameLen = 0;
    DWORD cbMaxValueLen = 0;
    DWORD cbSecurityDescriptor = 0;
    FILETIME ftLastWriteTime{};
};

class CRegistryKey {
public:
    CRegistryKey(const wchar_t* pszSubKey, REGSAM samDesired);
    CRegistryKey(const std::wstring& strSubKey, REGSAM samDesired, HKEY hRootKey);
    ~CRegistryKey();

    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    [[nodiscard]] LONG Open();
    LONG Close();
    [[nodiscard]] LONG QueryStringValue(const std::wstring& strValueName, std::wstring& strValue);
    [[nodiscard]] LONG QueryMultiStringValue(const std::wstring& strValueName, std::vector<std::wstring>& vecValues);

    RegistryKeyInfo GetInfo() const { return m_info; }
    std::wstring GetSubKey() const { return m_strSubKey; }

private:
    // Reads a value into a zeroed buffer of cbMaxValueLen + 1 characters,
    // offering cbMaxValueLen + 1 bytes, so the data always ends in zeros.
    LONG QueryValueBuffer(const std::wstring& strValueName, DWORD dwType, std::vector<wchar_t>& buffer);

    HKEY m_hRootKey;
    HKEY m_hKey = nullptr;
    std::wstring m_strSubKey;
    bool m_bOpen = false;
    REGSAM m_samDesired;
    RegistryKeyInfo m_info;

public:
    // Names of the direct subkeys in enumeration order, gathered by Open. It
    // can hold fewer names than cSubKeys says: a name that could not be read
    // is left out.
    std::vector<std::wstring> m_vecSubKeys;
};
