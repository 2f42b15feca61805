#include "common/system_error.h"

std::wstring FormatSystemError(DWORD dwError) {
    LPWSTR pszText = nullptr;
    const DWORD nChars = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, dwError,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&pszText),
                                        0, nullptr);
    std::wstring text;
    if (nChars > 0 && pszText) text.assign(pszText, nChars);
    if (pszText) LocalFree(pszText);
    return text;
}
