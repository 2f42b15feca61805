// The C runtime's text operations, and UTF-16 text as it is. Its case
// mapping follows the system's file-system casing in every locale (no
// Turkish dotless i); only decimal numbers follow the locale.
#include "platform.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

namespace platform {

int CompareNoCase(const wchar_t* pszA, const wchar_t* pszB) { return _wcsicmp(pszA, pszB); }

int CompareNoCaseN(const wchar_t* pszA, const wchar_t* pszB, size_t nChars) { return _wcsnicmp(pszA, pszB, nChars); }

void UpperCaseInPlace(wchar_t* pszText) {
    for (; *pszText; ++pszText) *pszText = static_cast<wchar_t>(towupper(static_cast<wint_t>(*pszText)));
}

double ReadDecimal(const wchar_t* pszText) { return wcstod(pszText, nullptr); }

size_t DecodeUtf16Le(const unsigned char* pBytes, size_t nBytes, wchar_t* pOut, size_t nLimit) {
    size_t units = nBytes / 2;
    if (units > nLimit) units = nLimit;
    std::memcpy(pOut, pBytes, units * sizeof(wchar_t));
    if (nBytes % 2 == 1 && units == nBytes / 2 && units < nLimit) {
        pOut[units++] = static_cast<wchar_t>(pBytes[nBytes - 1]);  // an odd last byte, high byte zero
    }
    return units;
}

}  // namespace platform
