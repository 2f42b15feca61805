// The C runtime's locale-aware text operations.
#include "platform.h"

#include <cwchar>
#include <cwctype>

namespace platform {

int CompareNoCase(const wchar_t* pszA, const wchar_t* pszB) { return wcscasecmp(pszA, pszB); }

int CompareNoCaseN(const wchar_t* pszA, const wchar_t* pszB, size_t nChars) {
    return wcsncasecmp(pszA, pszB, nChars);
}

void UpperCaseInPlace(wchar_t* pszText) {
    for (; *pszText; ++pszText) *pszText = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(*pszText)));
}

double ReadDecimal(const wchar_t* pszText) { return std::wcstod(pszText, nullptr); }

}  // namespace platform
