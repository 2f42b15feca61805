#include "common/console_output.h"

#include "common/text_format.h"
#include "platform.h"

#include <cstdarg>

void ConsolePrintf(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const std::wstring text = FormatWideV(size_t{1} << 16, pszFormat, args);
    va_end(args);
    platform::PrintToConsole(text.c_str());
}
