#include "inf_test_image.h"

#include "host_control.h"
#include "wide_text.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace inftest {
namespace {

bool WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* entry = readdir(d)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") RemoveTree(path + "/" + name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

void CollectFiles(const std::string& dir, std::vector<std::string>& files) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            CollectFiles(path, files);
        } else if (S_ISREG(st.st_mode)) {
            files.push_back(path);
        }
    }
    closedir(d);
}

}  // namespace

CScratchImage::CScratchImage(unsigned nAnsiCodePage) {
    const char* pszTemp = std::getenv("TMPDIR");
    std::string pattern = std::string(pszTemp && *pszTemp ? pszTemp : "/tmp") + "/dravolin-inf-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        m_strError = "cannot create a temporary folder";
        return;
    }
    m_strRoot = pattern;
    mkdir((m_strRoot + "/drive_c").c_str(), 0777);
    mkdir((m_strRoot + "/registry").c_str(), 0777);
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n";
    if (nAnsiCodePage != 0) {
        reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"" +
               std::to_string(nAnsiCodePage) + "\"\r\n";
    }
    if (!WriteHostFile(m_strRoot + "/registry/00-system.reg", reg)) {
        m_strError = "cannot write the registry file";
        return;
    }
    m_bReady = host::LoadImage(m_strRoot, &m_strError);
}

CScratchImage::~CScratchImage() {
    host::UnloadImage();
    if (!m_strRoot.empty()) RemoveTree(m_strRoot);
}

std::wstring CScratchImage::AddFile(const std::string& name, const std::string& bytes) const {
    WriteHostFile(m_strRoot + "/drive_c/" + name, bytes);
    return L"C:\\" + Wide(name);
}

std::wstring Wide(const std::string& utf8) { return host::WideFromUtf8(utf8); }

std::string Narrow(const wchar_t* pszText) { return host::Utf8FromWide(pszText ? pszText : L""); }

std::string Utf16LeWithMark(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (wchar_t ch : Wide(utf8)) {
        uint32_t cp = static_cast<uint32_t>(ch);
        auto put = [&out](uint32_t unit) {
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string CorpusDir() {
#ifdef DRAVOLIN_CORPUS_DIR
    struct stat st {};
    if (stat(DRAVOLIN_CORPUS_DIR, &st) == 0 && S_ISDIR(st.st_mode)) return DRAVOLIN_CORPUS_DIR;
#endif
    return std::string();
}

std::vector<std::string> ListFiles(const std::string& dir) {
    std::vector<std::string> files;
    CollectFiles(dir, files);
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace inftest
