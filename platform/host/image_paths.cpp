#include "image_paths.h"

#include "image_state.h"
#include "output_folder.h"
#include "wide_text.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace host {
namespace {

bool IsSeparator(wchar_t ch) { return ch == L'\\' || ch == L'/'; }

bool IsBadNameChar(wchar_t ch) {
    return ch < 0x20 || ch == L'<' || ch == L'>' || ch == L':' || ch == L'"' || ch == L'|' || ch == L'?' ||
           ch == L'*';
}

// Splits and normalises the components below a root. Windows drops the
// trailing dots and spaces of a component; one made of dots alone beyond
// ".." is not a name.
DWORD NormaliseComponents(const std::wstring& rest, std::vector<std::wstring>* pParts) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::wstring part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!pParts->empty()) pParts->pop_back();
            continue;
        }
        size_t keep = part.find_last_not_of(L". ");
        if (keep == std::wstring::npos) return ERROR_INVALID_NAME;
        part.erase(keep + 1);
        for (wchar_t ch : part) {
            if (IsBadNameChar(ch)) return ERROR_INVALID_NAME;
        }
        if (part.size() > 255) return ERROR_FILENAME_EXCED_RANGE;
        pParts->push_back(part);
    }
    return ERROR_SUCCESS;
}

// Splits a Windows path into its drive letter (lower case; 0 for a relative
// path) and the text after it.
void SplitDrive(const std::wstring& path, wchar_t* pDrive, std::wstring* pRest) {
    if (path.size() >= 2 && path[1] == L':' &&
        ((path[0] >= L'a' && path[0] <= L'z') || (path[0] >= L'A' && path[0] <= L'Z'))) {
        *pDrive = static_cast<wchar_t>(path[0] | 0x20);
        *pRest = path.substr(2);
    } else if (!path.empty() && IsSeparator(path[0])) {
        *pDrive = L'c';
        *pRest = path;
    } else {
        *pDrive = 0;
        *pRest = path;
    }
}

// "System32" of the Windows directory reads as "SysWOW64" for a 32-bit
// process on 64-bit Windows, except for the folders Windows leaves shared.
void RedirectSystem32(wchar_t drive, std::vector<std::wstring>* pParts) {
    const ImageState& image = Image();
    if (!image.bIs64Bit || image.bFsRedirectionDisabled || image.strWindowsDir.empty()) return;
    wchar_t winDrive = 0;
    std::wstring winRest;
    SplitDrive(image.strWindowsDir, &winDrive, &winRest);
    std::vector<std::wstring> winParts;
    if (winDrive != drive || NormaliseComponents(winRest, &winParts) != ERROR_SUCCESS) return;
    std::vector<std::wstring>& parts = *pParts;
    const size_t n = winParts.size();
    if (parts.size() <= n) return;
    for (size_t i = 0; i < n; ++i) {
        if (!EqualsNoCase(parts[i], winParts[i])) return;
    }
    if (!EqualsNoCase(parts[n], L"System32")) return;
    if (parts.size() > n + 1) {
        const std::wstring& next = parts[n + 1];
        if (EqualsNoCase(next, L"catroot") || EqualsNoCase(next, L"catroot2") || EqualsNoCase(next, L"logfiles") ||
            EqualsNoCase(next, L"spool")) {
            return;
        }
        if (EqualsNoCase(next, L"drivers") && parts.size() > n + 2 && EqualsNoCase(parts[n + 2], L"etc")) return;
    }
    parts[n] = L"SysWOW64";
}

// Finds the entry of a host folder whose name equals the component ignoring
// case; the exact spelling is tried first.
bool FindEntry(const std::string& folder, const std::wstring& component, std::string* pName) {
    const std::string exact = Utf8FromWide(component);
    struct stat st {};
    if (lstat((folder + "/" + exact).c_str(), &st) == 0) {
        *pName = exact;
        return true;
    }
    DIR* d = opendir(folder.c_str());
    if (!d) return false;
    bool bFound = false;
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (EqualsNoCase(WideFromUtf8(name), component)) {
            *pName = name;
            bFound = true;
            break;
        }
    }
    closedir(d);
    return bFound;
}

}  // namespace

DWORD SplitImagePath(const std::wstring& path, wchar_t* pDrive, std::vector<std::wstring>* pParts) {
    std::wstring rest;
    SplitDrive(path, pDrive, &rest);
    pParts->clear();
    return NormaliseComponents(rest, pParts);
}

DWORD ResolveImagePath(const std::wstring& path, ResolvedPath* pResult) {
    *pResult = ResolvedPath{};
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    wchar_t drive = 0;
    std::vector<std::wstring> parts;
    DWORD rc = SplitImagePath(path, &drive, &parts);
    if (rc != ERROR_SUCCESS) return rc;

    std::string current;
    if (drive == 0) {
        current = ".";
    } else {
        const ImageState& image = Image();
        if (!image.bLoaded) return ERROR_PATH_NOT_FOUND;
        RedirectSystem32(drive, &parts);
        switch (RedirectToOutputFolder(drive, &parts)) {
            case OutputRedirect::OutputFolder: current = image.strOutputDir; break;
            case OutputRedirect::PresentFolder:
                pResult->bExists = pResult->bIsDirectory = pResult->bReadOnly = true;
                return ERROR_SUCCESS;
            case OutputRedirect::MissingFolder: return ERROR_PATH_NOT_FOUND;
            case OutputRedirect::None:
                current = DriveFolder(drive);
                pResult->bReadOnly = image.bReadOnly;
                break;
        }
        struct stat st {};
        if (current.empty() || stat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    }

    bool bIsDirectory = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool bLast = i + 1 == parts.size();
        if (!bIsDirectory) return ERROR_PATH_NOT_FOUND;  // a file on the way
        std::string name;
        if (!FindEntry(current, parts[i], &name)) {
            if (!bLast) return ERROR_PATH_NOT_FOUND;
            pResult->strHost = current + "/" + Utf8FromWide(parts[i]);
            return ERROR_SUCCESS;
        }
        current += "/" + name;
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0) return Win32ErrorFromErrno(errno);
        if (S_ISLNK(st.st_mode)) return ERROR_ACCESS_DENIED;
        bIsDirectory = S_ISDIR(st.st_mode);
    }
    // A trailing separator names a folder: on a file, Windows refuses the name.
    if (!bIsDirectory && IsSeparator(path.back())) return ERROR_INVALID_NAME;
    pResult->strHost = current;
    pResult->bExists = true;
    pResult->bIsDirectory = bIsDirectory;
    return ERROR_SUCCESS;
}

}  // namespace host
