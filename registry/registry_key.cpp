#include "registry/registry_key.h"

namespace {

const DWORD kClassBufferChars = 261;
const DWORD kNameBufferChars = 256;
const DWORD kNameBufferOffered = 255;

}  // namespace

CRegistryKey::CRegistryKey(const wchar_t* pszSubKey, REGSAM samDesired)
    : m_hRootKey(HKEY_LOCAL_MACHINE), m_strSubKey(pszSubKey), m_samDesired(samDesired) {}

CRegistryKey::CRegistryKey(const std::wstring& strSubKey, REGSAM samDesired, HKEY hRootKey)
    : m_hRootKey(hRootKey), m_strSubKey(strSubKey), m_samDesired(samDesired) {}

CRegistryKey::~CRegistryKey() { Close(); }

LONG CRegistryKey::Open() {
    if (m_bOpen) return ERROR_SUCCESS;
    LONG rc = RegOpenKeyExW(m_hRootKey, m_strSubKey.c_str(), 0, m_samDesired, &m_hKey);
    if (rc != ERROR_SUCCESS) return rc;

    std::vector<wchar_t> classBuffer(kClassBufferChars, L'\0');
    m_info.cchClass = kClassBufferChars;
    rc = RegQueryInfoKeyW(m_hKey, classBuffer.data(), &m_info.cchClass, nullptr, &m_info.cSubKeys,
                          &m_info.cbMaxSubKeyLen, &m_info.cbMaxClassLen, &m_info.cValues, &m_info.cbMaxValueNameLen,
                          &m_info.cbMaxValueLen, &m_info.cbSecurityDescriptor, &m_info.ftLastWriteTime);
    m_info.strClass = classBuffer.data();
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
        return rc;
    }
    m_bOpen = true;

    for (DWORD index = 0; index < m_info.cSubKeys; ++index) {
        std::vector<wchar_t> name(kNameBufferChars, L'\0');
        DWORD cchName = kNameBufferOffered;
        // A name that needs more room, or a subkey deleted meanwhile, is
        // passed over; callers must not take the list and the count as equal.
        if (RegEnumKeyExW(m_hKey, index, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            m_vecSubKeys.emplace_back(name.data());
        }
    }
    return ERROR_SUCCESS;
}

LONG CRegistryKey::Close() {
    if (!m_bOpen) return ERROR_SUCCESS;
    LONG rc = RegCloseKey(m_hKey);
    if (rc == ERROR_SUCCESS) {
        m_bOpen = false;
        m_hKey = nullptr;
    }
    return rc;
}

LONG CRegistryKey::QueryValueBuffer(const std::wstring& strValueName, DWORD dwType, std::vector<wchar_t>& buffer) {
    LONG rc = Open();
    if (rc != ERROR_SUCCESS) return rc;
    const RegistryKeyInfo info = GetInfo();
    const DWORD n = info.cbMaxValueLen + 1;
    buffer.assign(n, L'\0');
    DWORD cbData = n;
    return RegQueryValueExW(m_hKey, strValueName.c_str(), nullptr, &dwType, reinterpret_cast<LPBYTE>(buffer.data()),
                            &cbData);
}

LONG CRegistryKey::QueryStringValue(const std::wstring& strValueName, std::wstring& strValue) {
    std::vector<wchar_t> buffer;
    LONG rc = QueryValueBuffer(strValueName, REG_SZ, buffer);
    if (rc == ERROR_SUCCESS) strValue = buffer.data();
    return rc;
}

LONG CRegistryKey::QueryMultiStringValue(const std::wstring& strValueName, std::vector<std::wstring>& vecValues) {
    std::vector<wchar_t> buffer;
    LONG rc = QueryValueBuffer(strValueName, REG_MULTI_SZ, buffer);
    if (rc != ERROR_SUCCESS) return rc;
    // The last character of the buffer lies past the data and is always zero,
    // so every text ends inside the buffer; the cursor may reach its end.
    const wchar_t* cursor = buffer.data();
    const wchar_t* const end = buffer.data() + buffer.size();
    while (cursor < end && *cursor != L'\0') {
        vecValues.emplace_back(cursor);
        cursor += lstrlenW(cursor) + 1;
    }
    return rc;
}
