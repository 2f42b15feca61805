// Comparisons ignoring case and upper-casing by one fixed table, the one the
// stand-in's registry and file names use: the same answers under every
// locale, as Windows gives them (no language's special rules, such as the
// Turkish dotless i). Decimal numbers follow the C runtime's locale.
#include "platform.h"
#include "wide_text.h"

#include <cwchar>

namespace platform {

int CompareNoCaseN(const wchar_t* pszA, const wchar_t* pszB, size_t nChars) {
    for (size_t i = 0; i < nChars; ++i) {
        const wchar_t a = host::FoldCase(pszA[i]);
        const wchar_t b = host::FoldCase(pszB[i]);
        if (a != b) return a < b ? -1 : 1;
        if (a == L'\0') break;
    }
    return 0;
}

int CompareNoCase(const wchar_t* pszA, const wchar_t* pszB) {
    return CompareNoCaseN(pszA, pszB, static_cast<size_t>(-1));
}

void UpperCaseInPlace(wchar_t* pszText) {
    for (; *pszText; ++pszText) *pszText = host::FoldCase(*pszText);
}

double ReadDecimal(const wchar_t* pszText) { return std::wcstod(pszText, nullptr); }

}  // namespace platform
