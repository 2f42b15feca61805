// Directory searches: the entries of one folder that match a pattern, in the
// order NTFS lists them (sorted by name, ignoring case).
#include "handles.h"
#include "image_paths.h"
#include "image_state.h"
#include "platform_api.h"
#include "wide_text.h"

#include <algorithm>
#include <cwchar>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// "*" matches any run of characters, "?" one character; letters ignore case.
bool MatchesPattern(const wchar_t* name, const wchar_t* pattern) {
    const wchar_t* starPattern = nullptr;
    const wchar_t* starName = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == L'?' || (*pattern && host::FoldCase(*pattern) == host::FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == L'\0';
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    const std::wstring strSearch = lpFileName ? lpFileName : L"";
    const size_t slash = strSearch.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : strSearch.substr(0, slash + 1);
    const std::wstring pattern = slash == std::wstring::npos ? strSearch : strSearch.substr(slash + 1);
    // A device is no entry of a folder: a pattern that names one finds nothing.
    if (pattern.empty() || host::DeviceOfName(pattern) != host::DosDevice::None) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    host::ResolvedPath resolved;
    DWORD code = host::ResolveImagePath(folder, &resolved);
    if (code == ERROR_SUCCESS && host::TakeFault("FindFirstFileW", strSearch, &code)) {
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    if (code != ERROR_SUCCESS || !resolved.bExists || !resolved.bIsDirectory) {
        SetLastError(code != ERROR_SUCCESS ? code : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* d = opendir(resolved.strHost.c_str());
    if (!d) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::pair<std::wstring, WIN32_FIND_DATAW>> found;
    while (dirent* entry = readdir(d)) {
        const std::string hostName = entry->d_name;
        if (hostName == "." || hostName == "..") continue;
        const std::wstring name = host::WideFromUtf8(hostName);
        if (name.size() >= MAX_PATH || !MatchesPattern(name.c_str(), pattern.c_str())) continue;
        WIN32_FIND_DATAW data{};
        struct stat st {};
        if (lstat((resolved.strHost + "/" + hostName).c_str(), &st) == 0) {
            data.dwFileAttributes = host::AttributesFromMode(st.st_mode);
            data.nFileSizeLow = static_cast<DWORD>(st.st_size);
            data.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
        }
        std::wmemcpy(data.cFileName, name.c_str(), name.size() + 1);
        found.emplace_back(host::FoldCase(name), data);
    }
    closedir(d);
    if (found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    auto* search = new host::SearchObject();
    for (auto& item : found) search->entries.push_back(item.second);
    *lpFindFileData = search->entries[0];
    search->next = 1;
    return host::RegisterHandle(search);
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    auto* search = static_cast<host::SearchObject*>(host::LookupHandle(hFindFile, host::HostObject::Kind::Search));
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (host::ReleaseHandle(hFindFile, host::HostObject::Kind::Search)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
