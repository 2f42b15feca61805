#include "app/driver_folders.h"

#include "common/folders.h"
#include "common/globals.h"
#include "common/run_log.h"

bool CreateDriverFolders() {
    g_strDiskFolder = g_strInstallDir + L"Tessaro\\Drivers\\Disk\\";
    g_strNetworkFolder = g_strInstallDir + L"Tessaro\\Drivers\\Network\\";
    g_strUsbFolder = g_strInstallDir + L"Tessaro\\Drivers\\USB\\";

    bool bResult = true;
    for (const std::wstring* pFolder : {&g_strDiskFolder, &g_strNetworkFolder, &g_strUsbFolder}) {
        if (!EnsureFolder(*pFolder)) {
            LogMessage(L"Failed to create folder: %ls", pFolder->c_str());
            bResult = false;
        }
    }
    return bResult;
}
