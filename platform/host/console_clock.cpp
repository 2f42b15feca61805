// Standard output and the local time.
#include "image_state.h"
#include "platform.h"
#include "wide_text.h"

#include <cstdio>
#include <ctime>

namespace platform {

void PrintToConsole(const wchar_t* pszText) {
    const std::string text = host::Utf8FromWide(pszText ? pszText : L"");
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace platform

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    const host::ImageState& image = host::Image();
    if (image.bClockPinned) {
        *lpSystemTime = image.pinnedTime;
        return;
    }
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    localtime_r(&now.tv_sec, &local);
    lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
