#include "host_folder.h"

#include "wide_text.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

std::string FindEntryNoCase(const std::string& folder, const std::string& name, struct stat* pStat) {
    struct stat st {};
    if (!pStat) pStat = &st;
    if (lstat((folder + "/" + name).c_str(), pStat) == 0) return name;
    DIR* d = opendir(folder.c_str());
    if (!d) return std::string();
    const std::wstring wanted = WideFromUtf8(name);
    std::string found;
    while (dirent* entry = readdir(d)) {
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        if (EqualsNoCase(WideFromUtf8(entryName), wanted)) {
            found = entryName;
            break;
        }
    }
    closedir(d);
    if (!found.empty() && lstat((folder + "/" + found).c_str(), pStat) != 0) found.clear();
    return found;
}

bool ReadWholeFile(const std::string& path, size_t nMaxBytes, std::vector<unsigned char>* pBytes,
                   std::string* pError) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *pError = path + ": cannot be read (" + (fd < 0 ? std::strerror(errno) : "not a regular file") + ")";
        if (fd >= 0) close(fd);
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > nMaxBytes) {
        *pError = path + ": too large (" + std::to_string(st.st_size) + " bytes)";
        close(fd);
        return false;
    }
    pBytes->assign(static_cast<size_t>(st.st_size), 0);
    size_t total = 0;
    while (total < pBytes->size()) {
        const ssize_t n = read(fd, pBytes->data() + total, pBytes->size() - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *pError = path + ": cannot be read (" + std::strerror(errno) + ")";
            close(fd);
            return false;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    pBytes->resize(total);  // a file that shrank while being read
    close(fd);
    return true;
}

}  // namespace host
