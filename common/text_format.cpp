#include "common/text_format.h"

#include <algorithm>
#include <cwchar>
#include <vector>

std::wstring FormatWideV(size_t nMaxChars, const wchar_t* pszFormat, va_list args) {
    // A C runtime may fail a format that does not fit, and leave the buffer
    // unterminated, so grow until it fits (within reason) and cut afterwards.
    // Most messages are one short line: the first buffer is small.
    const size_t kLargest = size_t{1} << 24;
    std::vector<wchar_t> buffer;
    for (size_t size = std::min<size_t>(256, nMaxChars + 1);; size *= 4) {
        buffer.assign(size, L'\0');
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), size, pszFormat, copy);
        va_end(copy);
        if (n >= 0 || size >= kLargest) {
            buffer[size - 1] = L'\0';
            std::wstring text(buffer.data());
            if (text.size() > nMaxChars) text.resize(nMaxChars);
            return text;
        }
    }
}
