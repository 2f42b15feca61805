#include "devices/catalog_copy.h"

#include "common/globals.h"
#include "common/run_log.h"
#include "devices/class_key_inf_copy.h"
#include "devices/driver_file_copy.h"
#include "inf/inf_file.h"

namespace {

std::wstring CatalogStorePath(const std::wstring& strCatalogName) {
    return g_strSystemRoot + L"System32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\" + strCatalogName;
}

bool Exists(const std::wstring& strPath) { return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool BeginsWithOem(const std::wstring& strName) {
    if (strName.size() < 3) return false;
    const wchar_t* const pszOem = L"oem";
    for (size_t i = 0; i < 3; ++i) {
        wchar_t ch = strName[i];
        if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch + 32);
        if (ch != pszOem[i]) return false;
    }
    return true;
}

enum class CatalogEntry { InfNotLoaded, None, Found };

// Loads an INF and takes its "CatalogFile" value as stored (no string token
// resolved, quotes kept); logs the load failure with the caller's message.
CatalogEntry ReadCatalogEntry(const std::wstring& strInfPath, const wchar_t* pszLoadFailure,
                              std::wstring& strCatalogName) {
    CInfFile inf(strInfPath);
    if (!inf.Load()) {
        LogMessage(pszLoadFailure, strInfPath.c_str());
        return CatalogEntry::InfNotLoaded;
    }
    inf.Parse();
    InfEntryRef catalogEntry;
    const bool bFound = inf.FindVersionEntry(L"CatalogFile", catalogEntry);
    if (bFound) strCatalogName = catalogEntry.Value();
    inf.Unload();
    return bFound ? CatalogEntry::Found : CatalogEntry::None;
}

}  // namespace

std::wstring ReplaceInfWithCat(const std::wstring& strText) {
    std::wstring strResult = strText;
    for (size_t nAt = strResult.find(L".inf"); nAt != std::wstring::npos; nAt = strResult.find(L".inf", nAt + 4)) {
        strResult.replace(nAt, 4, L".cat");
    }
    return strResult;
}

bool CopyCatalogFile(CRegistryKey& instanceKey, DeviceCategory category, const std::wstring& strServiceName) {
    std::wstring strMfg;
    (void)instanceKey.QueryStringValue(L"Mfg", strMfg);
    const std::wstring strInfName = GetInfNameFromMfg(strMfg);
    const std::wstring strCatalogPath = CatalogStorePath(ReplaceInfWithCat(strInfName));
    if (!Exists(strCatalogPath)) return true;

    std::wstring strCatalogName;
    switch (ReadCatalogEntry(g_strSystemRoot + L"Inf\\" + strInfName, L"Failed to open inf file %ls", strCatalogName)) {
        case CatalogEntry::InfNotLoaded: return false;
        case CatalogEntry::None: return true;
        case CatalogEntry::Found: break;
    }

    const CDeviceFileTarget target(category, strServiceName, strCatalogName);
    DWORD dwError = ERROR_SUCCESS;
    if (CopyDriverFile(strCatalogPath, target, &dwError)) return true;
    if (target.IsConfined() && CopyDriverFile(strCatalogPath, target, &dwError)) return true;
    LogCopyFailure(L"Failed to copy CAT file %ls", strCatalogPath, dwError);
    return false;
}

bool CopyAcpiCatalogFile(DeviceCategory category, const std::wstring& strServiceName,
                         const std::wstring& strSourceInf, const std::wstring& strTargetInf) {
    std::wstring strCatalogPath;
    bool bCatalogPathKnown = false;
    const size_t nLastSlash = strSourceInf.rfind(L'\\');
    if (nLastSlash != std::wstring::npos) {
        const std::wstring strFoundName = strSourceInf.substr(nLastSlash + 1);
        if (BeginsWithOem(strFoundName)) {
            strCatalogPath = ReplaceInfWithCat(CatalogStorePath(strFoundName));
            bCatalogPathKnown = true;
        }
    }

    std::wstring strCatalogName;
    switch (ReadCatalogEntry(strTargetInf, L"Failed to open ACPI target inf file %ls", strCatalogName)) {
        case CatalogEntry::InfNotLoaded: return false;
        case CatalogEntry::None: return true;
        case CatalogEntry::Found: break;
    }

    if (!bCatalogPathKnown) strCatalogPath = CatalogStorePath(strCatalogName);
    if (!Exists(strCatalogPath)) return true;

    return CopyDriverFileOrLog(strCatalogPath, CDeviceFileTarget(category, strServiceName, strCatalogName),
                               L"Failed to copy CAT file %ls");
}
