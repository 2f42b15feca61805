// What the stand-in knows about the image it serves, shared by its areas.
#pragma once

#include "platform_api.h"
#include "registry_tree.h"

#include <map>
#include <string>
#include <vector>

namespace host {

struct ImageState {
    bool bLoaded = false;
    std::string strRoot;  // host folder of the image, without a trailing "/"
    RegistryTree registry;
    bool bIs64Bit = false;
    DWORD dwMajorVersion = 10;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    UINT nAnsiCodePage = 1252;
    std::wstring strWindowsDir;  // "SystemRoot" of the image, e.g. C:\Windows
    bool bFsRedirectionDisabled = false;
    bool bClockPinned = false;
    SYSTEMTIME pinnedTime{};
    std::vector<std::string> args;
    std::string strStartupError;  // reported by the framework initialisation
    std::map<std::wstring, std::string> servedFiles;  // by folded Windows path
};

ImageState& Image();

// Takes a fault injected for this call and argument; true with its code.
bool TakeFault(const char* call, const std::wstring& arg, DWORD* pCode);

DWORD Win32ErrorFromErrno(int err);

}  // namespace host
