#include "image_state.h"

#include "hive_mount.h"
#include "host_control.h"
#include "host_folder.h"
#include "output_folder.h"
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

}  // namespace

std::string DriveFolder(wchar_t drive) {
    const ImageState& image = Image();
    if (image.bVolume) return drive == L'c' ? image.strRoot : std::string();
    return image.strRoot + "/drive_" + static_cast<char>(drive);
}

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A mounted Windows volume: Windows\System32\config holding a SYSTEM file.
// Returns that config folder, or empty.
std::string FindVolumeConfigFolder(const std::string& root) {
    std::string folder = root;
    for (const char* name : {"Windows", "System32", "config"}) {
        const std::string entry = FindEntryNoCase(folder, name);
        if (entry.empty()) return std::string();
        folder += "/" + entry;
    }
    const std::string system = FindEntryNoCase(folder, "SYSTEM");
    return !system.empty() && IsRegularFile(folder + "/" + system) ? folder : std::string();
}

// Mounts the SYSTEM and SOFTWARE hives found in a folder (names ignoring
// case) and links CurrentControlSet; *pnMounted counts them.
bool MountHivesOf(ImageState& image, const std::string& folder, int* pnMounted, std::string* pError) {
    *pnMounted = 0;
    std::string systemPath;
    for (const wchar_t* hiveName : {L"SOFTWARE", L"SYSTEM"}) {
        const std::string entry = FindEntryNoCase(folder, Utf8FromWide(hiveName));
        if (entry.empty() || !IsRegularFile(folder + "/" + entry)) continue;
        const std::string path = folder + "/" + entry;
        if (!MountHive(image, hiveName, path, pError)) return false;
        ++*pnMounted;
        if (std::wstring(hiveName) == L"SYSTEM") systemPath = path;
    }
    return systemPath.empty() || LinkCurrentControlSet(image.registry, systemPath, pError);
}

// The image layout: hive files in DIR/registry, then its .reg files on top
// in file-name order.
bool LoadRegistryFolder(ImageState& image, const std::string& dir, const std::string& regDir, std::string* pError) {
    DIR* d = opendir(regDir.c_str());
    if (!d) {
        *pError = "\"" + dir + "\" is not a Windows image: it has no registry folder";
        return false;
    }
    std::vector<std::string> files;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && EqualsNoCase(WideFromUtf8(name.substr(name.size() - 4)), L".reg")) {
            files.push_back(name);
        }
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    int nHives = 0;
    if (!MountHivesOf(image, regDir, &nHives, pError)) return false;
    if (files.empty() && nHives == 0) {
        *pError = "\"" + regDir + "\" holds no hive file (SYSTEM, SOFTWARE) and no .reg file";
        return false;
    }
    for (const std::string& name : files) {
        if (!ApplyRegFile(regDir + "/" + name, image.registry, pError)) return false;
    }
    return true;
}

// What every way of loading ends with: the machine's facts from its
// registry, and the output folder.
bool FinishLoad(ImageState& image, const std::string& root, std::string* pError) {
    image.strRoot = root;
    ReadMachineFacts(image);
    if (!PrepareOutputFolder(image, pError)) {
        UnloadImage();
        return false;
    }
    image.bLoaded = true;
    return true;
}

}  // namespace

bool LoadImage(const std::string& dir, std::string* pError) {
    UnloadImage();
    ImageState& image = Image();
    std::string root = dir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty() || !IsDirectory(root)) {
        *pError = "image folder \"" + dir + "\" does not exist";
        return false;
    }
    const std::string configDir = FindVolumeConfigFolder(root);
    bool bLoaded = false;
    if (!configDir.empty()) {
        image.bVolume = true;
        int nHives = 0;
        bLoaded = MountHivesOf(image, configDir, &nHives, pError);
    } else if (!IsDirectory(root + "/drive_c")) {
        *pError = "\"" + dir + "\" is not a Windows image: it has no drive_c folder and no "
                  "Windows\\System32\\config\\SYSTEM";
    } else {
        bLoaded = LoadRegistryFolder(image, dir, root + "/registry", pError);
    }
    if (!bLoaded) {
        UnloadImage();
        return false;
    }
    return FinishLoad(image, root, pError);
}

bool LoadImageWithRegistry(const std::string& dir, const std::vector<RegistryFileBytes>& files,
                           std::string* pError) {
    UnloadImage();
    ImageState& image = Image();
    std::string root = dir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!IsDirectory(root + "/drive_c")) {
        *pError = "\"" + dir + "\" is not a Windows image: it has no drive_c folder";
        return false;
    }
    for (const RegistryFileBytes& file : files) {
        if (!ApplyRegText(file.bytes, file.strName, image.registry, pError)) {
            UnloadImage();
            return false;
        }
    }
    return FinishLoad(image, root, pError);
}

void UnloadImage() {
    ImageState& image = Image();
    image.bLoaded = false;
    image.strRoot.clear();
    image.bVolume = false;
    image.registry.Clear();  // before the hives its nodes read from
    image.hives.clear();
    image.bIs64Bit = false;
    image.dwMajorVersion = 10;
    image.dwMinorVersion = 0;
    image.dwBuildNumber = 0;
    image.nAnsiCodePage = 1252;
    image.strWindowsDir.clear();
    image.bFsRedirectionDisabled = false;
    image.bReadOnly = false;
    image.bNamedInstall = false;
    image.installDrive = 0;
    image.installParts.clear();
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
