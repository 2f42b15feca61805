#include "image_paths.h"

#include "host_folder.h"

#include "image_state.h"
#include "output_folder.h"
#include "wide_text.h"

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

bool IsDotsOnly(const std::wstring& name) { return name.find_first_not_of(L'.') == std::wstring::npos; }

// A Windows path taken apart: its drive (lower case), its components below
// the drive's root, and what its last component names.
struct ParsedPath {
    wchar_t drive = L'c';
    std::vector<std::wstring> parts;
    bool bNamesFolder = false;  // a trailing separator, or a last component trimmed away
    DosDevice eDevice = DosDevice::None;
};

DWORD CheckName(const std::wstring& name) {
    for (wchar_t ch : name) {
        if (IsBadNameChar(ch)) return ERROR_INVALID_NAME;
    }
    return name.size() > 255 ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS;
}

bool IsDriveLetter(wchar_t ch) { return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z'); }

// "\??\X:\..." (or "\\?\X:\..."): Windows hands the rest to the file system
// as it stands, so nothing is collapsed or trimmed here either.
DWORD ParseVerbatim(const std::wstring& path, ParsedPath* pParsed) {
    if (path.size() < 6 || !IsDriveLetter(path[4]) || path[5] != L':') return ERROR_PATH_NOT_FOUND;
    if (path.size() > 6 && path[6] != L'\\') return ERROR_INVALID_NAME;
    pParsed->drive = static_cast<wchar_t>(path[4] | 0x20);
    size_t start = 7;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (end == path.size() - 1) pParsed->bNamesFolder = true;
        start = end + 1;
        if (part.empty() || part == L"." || part == L".." || part.find(L'/') != std::wstring::npos ||
            DeviceOfName(part) != DosDevice::None) {
            return ERROR_INVALID_NAME;
        }
        DWORD rc = CheckName(part);
        if (rc != ERROR_SUCCESS) return rc;
        pParsed->parts.push_back(part);
    }
    return ERROR_SUCCESS;
}

// A Win32 path, normalised as Windows normalises it before the file system
// sees it (see ResolveImagePath).
DWORD ParseWin32(const std::wstring& path, ParsedPath* pParsed) {
    std::wstring rest = path;
    if (path.size() >= 2 && path[1] == L':' && IsDriveLetter(path[0])) {
        pParsed->drive = static_cast<wchar_t>(path[0] | 0x20);
        rest = path.substr(2);
    }
    std::vector<std::wstring>& parts = pParsed->parts;
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::wstring part = rest.substr(start, end - start);
        const bool bLast = end == rest.size();
        start = end + 1;
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (bLast) {
            const size_t keep = part.find_last_not_of(L". ");
            if (keep == std::wstring::npos) {
                pParsed->bNamesFolder = true;
                break;
            }
            part.erase(keep + 1);
        } else if (part.back() == L'.' && !IsDotsOnly(part)) {
            part.pop_back();
        }
        DWORD rc = CheckName(part);
        if (rc != ERROR_SUCCESS) return rc;
        parts.push_back(part);
    }
    if (!rest.empty() && IsSeparator(rest.back())) pParsed->bNamesFolder = true;
    // A trailing separator does not make a device's name a folder's: the
    // image never gets an entry of that name.
    if (!parts.empty()) pParsed->eDevice = DeviceOfName(parts.back());
    return ERROR_SUCCESS;
}

DWORD ParseWindowsPath(const std::wstring& path, ParsedPath* pParsed) {
    *pParsed = ParsedPath{};
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    if (path.compare(0, 4, L"\\??\\") == 0 || path.compare(0, 4, L"\\\\?\\") == 0) return ParseVerbatim(path, pParsed);
    return ParseWin32(path, pParsed);
}

// "System32" of the Windows directory reads as "SysWOW64" for a 32-bit
// process on 64-bit Windows, except for the folders Windows leaves shared
// (DriverStore since Windows 7).
void RedirectSystem32(wchar_t drive, std::vector<std::wstring>* pParts) {
    const ImageState& image = Image();
    if (!image.bIs64Bit || image.bFsRedirectionDisabled || image.strWindowsDir.empty()) return;
    ParsedPath windows;
    if (ParseWindowsPath(image.strWindowsDir, &windows) != ERROR_SUCCESS || windows.drive != drive) return;
    const std::vector<std::wstring>& winParts = windows.parts;
    std::vector<std::wstring>& parts = *pParts;
    const size_t n = winParts.size();
    if (parts.size() <= n) return;
    for (size_t i = 0; i < n; ++i) {
        if (!EqualsNoCase(parts[i], winParts[i])) return;
    }
    if (!EqualsNoCase(parts[n], L"System32")) return;
    if (parts.size() > n + 1) {
        const std::wstring& next = parts[n + 1];
        const bool bWindows7OrLater =
            image.dwMajorVersion > 6 || (image.dwMajorVersion == 6 && image.dwMinorVersion >= 1);
        if (EqualsNoCase(next, L"catroot") || EqualsNoCase(next, L"catroot2") || EqualsNoCase(next, L"logfiles") ||
            EqualsNoCase(next, L"spool") || (bWindows7OrLater && EqualsNoCase(next, L"DriverStore"))) {
            return;
        }
        if (EqualsNoCase(next, L"drivers") && parts.size() > n + 2 && EqualsNoCase(parts[n + 2], L"etc")) return;
    }
    parts[n] = L"SysWOW64";
}


}  // namespace

// ASCII letters match in any case; the port numbers include 0 and the
// superscripts 1-3.
DosDevice DeviceOfName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& ch : base) ch = (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - 0x20) : ch;
    if (base == L"NUL") return DosDevice::Null;
    if (base == L"CON" || base == L"PRN" || base == L"AUX") return DosDevice::Other;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
        const wchar_t digit = base[3];
        if ((digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3) return DosDevice::Other;
    }
    return DosDevice::None;
}

DWORD AttributesFromMode(unsigned mode) {
    if (S_ISDIR(mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return (mode & S_IWUSR) ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
}

DWORD SplitImagePath(const std::wstring& path, wchar_t* pDrive, std::vector<std::wstring>* pParts) {
    ParsedPath parsed;
    const DWORD rc = ParseWindowsPath(path, &parsed);
    *pDrive = parsed.drive;
    *pParts = parsed.parts;
    return rc;
}

DWORD ResolveImagePath(const std::wstring& path, ResolvedPath* pResult) {
    *pResult = ResolvedPath{};
    ParsedPath parsed;
    DWORD rc = ParseWindowsPath(path, &parsed);
    if (rc != ERROR_SUCCESS) return rc;
    if (parsed.eDevice != DosDevice::None) {
        pResult->eDevice = parsed.eDevice;
        return ERROR_SUCCESS;
    }
    std::vector<std::wstring>& parts = parsed.parts;

    const ImageState& image = Image();
    if (!image.bLoaded) return ERROR_PATH_NOT_FOUND;
    RedirectSystem32(parsed.drive, &parts);
    std::string current;
    switch (RedirectToOutputFolder(parsed.drive, &parts)) {
        case OutputRedirect::OutputFolder: current = image.strOutputDir; break;
        case OutputRedirect::PresentFolder:
            pResult->bExists = pResult->bIsDirectory = pResult->bReadOnly = true;
            pResult->dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
            return ERROR_SUCCESS;
        case OutputRedirect::MissingFolder: return ERROR_PATH_NOT_FOUND;
        case OutputRedirect::None:
            current = DriveFolder(parsed.drive);
            pResult->bReadOnly = image.bReadOnly;
            break;
    }
    struct stat st {};
    if (current.empty() || stat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;

    bool bIsDirectory = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool bLast = i + 1 == parts.size();
        if (!bIsDirectory) return ERROR_PATH_NOT_FOUND;  // a file on the way
        // Normalisation leaves no "." or ".." to look up; should one come,
        // it is not a name of the image.
        if (parts[i] == L"." || parts[i] == L"..") return ERROR_INVALID_NAME;
        const std::string name = FindEntryNoCase(current, Utf8FromWide(parts[i]), &st);
        if (name.empty()) {
            if (!bLast) return ERROR_PATH_NOT_FOUND;
            pResult->dwAttributes = 0;
            pResult->strHost = current + "/" + Utf8FromWide(parts[i]);
            return ERROR_SUCCESS;
        }
        current += "/" + name;
        if (S_ISLNK(st.st_mode)) return ERROR_ACCESS_DENIED;
        bIsDirectory = S_ISDIR(st.st_mode);
        pResult->dwAttributes = AttributesFromMode(st.st_mode);
    }
    // A path that names a folder names no file: Windows refuses the name.
    if (!bIsDirectory && parsed.bNamesFolder) return ERROR_INVALID_NAME;
    if (parts.empty()) pResult->dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
    pResult->strHost = current;
    pResult->bExists = true;
    pResult->bIsDirectory = bIsDirectory;
    return ERROR_SUCCESS;
}

}  // namespace host
