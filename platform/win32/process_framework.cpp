// Process initialisation and console output on Windows.
#include "platform.h"

#include <cstdio>
#include <vector>

namespace platform {

// A console program needs no framework; this step cannot fail.
bool InitProcessFramework(HMODULE, LPCWSTR) { return true; }

void PrintToConsole(const wchar_t* pszText) {
    const UINT codePage = GetConsoleOutputCP();
    const int nBytes = WideCharToMultiByte(codePage, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 1) return;
    std::vector<char> bytes(static_cast<size_t>(nBytes));
    WideCharToMultiByte(codePage, 0, pszText, -1, bytes.data(), nBytes, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, static_cast<size_t>(nBytes - 1), stdout);
    std::fflush(stdout);
}

}  // namespace platform
