// What the stand-in knows about the image it serves, shared by its areas.
#pragma once

#include "hive_file.h"
#include "platform_api.h"
#include "registry_tree.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace host {

struct ImageState {
    bool bLoaded = false;
    std::string strRoot;  // host folder of the image, without a trailing "/"
    bool bVolume = false;  // strRoot is a Windows volume, C:\ itself
    RegistryTree registry;
    std::vector<std::unique_ptr<HiveFile>> hives;  // the files behind the tree's hive keys
    bool bIs64Bit = false;
    DWORD dwMajorVersion = 10;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    UINT nAnsiCodePage = 1252;
    std::wstring strWindowsDir;  // "SystemRoot" of the image, e.g. C:\Windows
    bool bFsRedirectionDisabled = false;
    bool bClockPinned = false;
    SYSTEMTIME pinnedTime{};
    // Options: a host folder for the driver folders (the image is then only
    // read), and the builder's variant when it is not installed on the image.
    std::string strOutputDir;
    std::string strVariant;
    bool bReadOnly = false;
    bool bNamedInstall = false;      // the builder is the one --variant names
    wchar_t installDrive = 0;        // the builder's InstallDir, split
    std::vector<std::wstring> installParts;
    std::vector<std::string> args;
    std::string strStartupError;  // reported by the framework initialisation
    std::map<std::wstring, std::string> servedFiles;  // by folded Windows path
};

ImageState& Image();

// The host folder of a drive of the image (drive letter in lower case);
// empty for a drive the image cannot have.
std::string DriveFolder(wchar_t drive);

// Takes a fault injected for this call and argument; true with its code.
bool TakeFault(const char* call, const std::wstring& arg, DWORD* pCode);

DWORD Win32ErrorFromErrno(int err);

}  // namespace host
