// printf-style formatting of wide text. In the program's formats "%ls" takes
// a wide text argument.
#pragma once

#include <cstdarg>
#include <string>

// Formats into at most nMaxChars characters; a longer result is cut there,
// never written past.
std::wstring FormatWideV(size_t nMaxChars, const wchar_t* pszFormat, va_list args);
