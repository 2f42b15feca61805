#include "app/file_names.h"

bool IsPlainFileName(const std::wstring& strName) {
    if (strName.empty() || strName == L"." || strName == L"..") return false;
    return strName.find_first_of(L"\\/:") == std::wstring::npos;
}
