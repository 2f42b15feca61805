// The run log: one time-stamped line per event in "Dravolin.log".
#pragma once

#include <fstream>
#include <string>

// A message has at most this many characters; a longer one is cut.
constexpr size_t kMaxLogMessageChars = 10239;

// The log file: 8-bit text, one byte a character up to U+00FF and "?" for
// any character above, CR LF for every line feed. Lines written while it is
// not open are discarded.
class CLogFile {
public:
    // Creates or truncates the file; failure is silent and leaves it closed.
    void Open(const char* pszFileName);
    void Close();
    bool IsOpen() const { return m_file.is_open(); }
    void Write(const std::wstring& strText);

private:
    std::ofstream m_file;
};

// Formats the message and appends "HH:MM:SS - <message>" and a line end to
// the run log. Never writes to the console.
void LogMessage(const wchar_t* pszFormat, ...);

// The bytes the log file receives for a text.
std::string EncodeLogText(const std::wstring& strText);
