#include "common/run_log.h"

#include "common/globals.h"
#include "common/text_format.h"
#include "platform.h"

#include <cstdarg>
#include <cwchar>

std::string EncodeLogText(const std::wstring& strText) {
    std::string bytes;
    bytes.reserve(strText.size() + 8);
    for (size_t i = 0; i < strText.size(); ++i) {
        const uint32_t ch = static_cast<uint32_t>(strText[i]);
        if (ch == L'\n') {
            bytes += "\r\n";
        } else if (ch <= 0xFF) {
            bytes.push_back(static_cast<char>(ch));
        } else {
            // A surrogate pair is one character, as it is on Linux.
            if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < strText.size() &&
                static_cast<uint32_t>(strText[i + 1]) >= 0xDC00 && static_cast<uint32_t>(strText[i + 1]) <= 0xDFFF) {
                ++i;
            }
            bytes.push_back('?');
        }
    }
    return bytes;
}

void CLogFile::Open(const char* pszFileName) {
    m_file.open(pszFileName, std::ios::out | std::ios::trunc | std::ios::binary);
}

void CLogFile::Close() {
    if (m_file.is_open()) m_file.close();
}

void CLogFile::Write(const std::wstring& strText) {
    if (!m_file.is_open()) return;
    const std::string bytes = EncodeLogText(strText);
    m_file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void LogMessage(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const std::wstring message = FormatWideV(kMaxLogMessageChars, pszFormat, args);
    va_end(args);

    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[16];
    std::swprintf(stamp, 16, L"%02u:%02u:%02u", static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                  static_cast<unsigned>(now.wSecond));
    g_log.Write(std::wstring(stamp) + L" - " + message + L"\n");
}
