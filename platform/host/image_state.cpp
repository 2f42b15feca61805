#include "image_state.h"

#include "host_control.h"
#include "reg_file_reader.h"
#include "wide_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace host {

ImageState& Image() {
    static ImageState state;
    return state;
}

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads the machine's facts from its own registry, as Windows would know them.
void ReadMachineFacts(ImageState& image) {
    RegistryTree& reg = image.registry;
    std::wstring arch = ReadRegistryText(
        reg, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", L"PROCESSOR_ARCHITECTURE");
    image.bIs64Bit = EqualsNoCase(arch, L"AMD64");

    DWORD number = 0;
    std::wstring version = ReadRegistryText(reg, kCurrentVersionKey, L"CurrentVersion");
    if (ReadRegistryDword(reg, kCurrentVersionKey, L"CurrentMajorVersionNumber", &number)) {
        image.dwMajorVersion = number;
        image.dwMinorVersion = 0;
        if (ReadRegistryDword(reg, kCurrentVersionKey, L"CurrentMinorVersionNumber", &number)) {
            image.dwMinorVersion = number;
        }
    } else if (!version.empty() && version[0] >= L'0' && version[0] <= L'9') {
        image.dwMajorVersion = static_cast<DWORD>(wcstoul(version.c_str(), nullptr, 10));
        size_t dot = version.find(L'.');
        image.dwMinorVersion =
            dot == std::wstring::npos ? 0 : static_cast<DWORD>(wcstoul(version.c_str() + dot + 1, nullptr, 10));
    } else {
        image.dwMajorVersion = 10;
        image.dwMinorVersion = 0;
    }
    std::wstring build = ReadRegistryText(reg, kCurrentVersionKey, L"CurrentBuildNumber");
    image.dwBuildNumber = static_cast<DWORD>(wcstoul(build.c_str(), nullptr, 10));

    std::wstring acp = ReadRegistryText(reg, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", L"ACP");
    unsigned long cp = wcstoul(acp.c_str(), nullptr, 10);
    image.nAnsiCodePage = cp == 0 ? 1252 : static_cast<UINT>(cp);

    image.strWindowsDir = ReadRegistryText(reg, kCurrentVersionKey, L"SystemRoot");
    if (image.strWindowsDir.empty()) image.strWindowsDir = L"C:\\Windows";
}

// The image's root folder without trailing "/", once it has a drive_c.
bool CheckImageFolder(const std::string& dir, std::string* pRoot, std::string* pError) {
    std::string root = dir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty() || !IsDirectory(root)) {
        *pError = "image folder \"" + dir + "\" does not exist";
        return false;
    }
    if (!IsDirectory(root + "/drive_c")) {
        *pError = "\"" + dir + "\" is not a Windows image: it has no drive_c folder";
        return false;
    }
    *pRoot = root;
    return true;
}

bool ApplyRegistryFiles(const std::string& root, const std::vector<RegistryFileBytes>& files, std::string* pError) {
    ImageState& image = Image();
    for (const RegistryFileBytes& file : files) {
        if (!ApplyRegText(file.bytes, file.strName, image.registry, pError)) {
            image.registry.Clear();
            return false;
        }
    }
    image.strRoot = root;
    ReadMachineFacts(image);
    image.bLoaded = true;
    return true;
}

}  // namespace

bool LoadImage(const std::string& dir, std::string* pError) {
    UnloadImage();
    std::string root;
    if (!CheckImageFolder(dir, &root, pError)) return false;
    const std::string regDir = root + "/registry";
    DIR* d = opendir(regDir.c_str());
    if (!d) {
        *pError = "\"" + dir + "\" is not a Windows image: it has no registry folder";
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && EqualsNoCase(WideFromUtf8(name.substr(name.size() - 4)), L".reg")) {
            names.push_back(name);
        }
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        *pError = "\"" + regDir + "\" holds no .reg file";
        return false;
    }
    std::vector<RegistryFileBytes> files;
    for (const std::string& name : names) {
        RegistryFileBytes file{regDir + "/" + name, std::string()};
        if (!ReadRegFile(file.strName, &file.bytes, pError)) return false;
        files.push_back(std::move(file));
    }
    return ApplyRegistryFiles(root, files, pError);
}

bool LoadImageWithRegistry(const std::string& dir, const std::vector<RegistryFileBytes>& files,
                           std::string* pError) {
    UnloadImage();
    std::string root;
    return CheckImageFolder(dir, &root, pError) && ApplyRegistryFiles(root, files, pError);
}

void UnloadImage() {
    ImageState& image = Image();
    image.bLoaded = false;
    image.strRoot.clear();
    image.registry.Clear();
    image.bIs64Bit = false;
    image.dwMajorVersion = 10;
    image.dwMinorVersion = 0;
    image.dwBuildNumber = 0;
    image.nAnsiCodePage = 1252;
    image.strWindowsDir.clear();
    image.bFsRedirectionDisabled = false;
    image.servedFiles.clear();
}

void ServeFileFromMemory(const std::wstring& path, std::string bytes) {
    Image().servedFiles[FoldCase(path)] = std::move(bytes);
}

void PinClock(WORD wHour, WORD wMinute, WORD wSecond) {
    ImageState& image = Image();
    image.bClockPinned = true;
    image.pinnedTime = SYSTEMTIME{};
    image.pinnedTime.wYear = 2026;
    image.pinnedTime.wMonth = 1;
    image.pinnedTime.wDay = 1;
    image.pinnedTime.wHour = wHour;
    image.pinnedTime.wMinute = wMinute;
    image.pinnedTime.wSecond = wSecond;
}

DWORD Win32ErrorFromErrno(int err) {
    switch (err) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EBUSY:
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL: return ERROR_INVALID_NAME;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        default: return ERROR_IO_DEVICE;
    }
}

}  // namespace host
