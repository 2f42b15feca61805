// A throwaway offline Windows image for the INF tests: a temporary folder
// with drive_c/ and one registry file, served through the stand-in. Files
// written into it are addressed as C:\<name>.
#pragma once

#include <string>
#include <vector>

namespace inftest {

class CScratchImage {
public:
    // nAnsiCodePage 0 leaves the image's default ANSI code page.
    explicit CScratchImage(unsigned nAnsiCodePage = 0);
    ~CScratchImage();
    CScratchImage(const CScratchImage&) = delete;
    CScratchImage& operator=(const CScratchImage&) = delete;

    bool IsReady() const { return m_bReady; }
    const std::string& Error() const { return m_strError; }
    // Writes the bytes to drive_c/<name>; returns "C:\<name>".
    std::wstring AddFile(const std::string& name, const std::string& bytes) const;

private:
    std::string m_strRoot;
    std::string m_strError;
    bool m_bReady = false;
};

// UTF-8 text as UTF-16LE bytes after an FF FE mark.
std::string Utf16LeWithMark(const std::string& utf8);
// Converts between the tests' UTF-8 literals and wide text.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const wchar_t* pszText);

// The path of the shared corpus of real INF files, or empty when absent.
std::string CorpusDir();
// Every regular file below a folder, sorted by path.
std::vector<std::string> ListFiles(const std::string& dir);
std::string ReadHostFile(const std::string& path);

}  // namespace inftest
