#include "common/globals.h"

// Constructed in this order before the entry point runs, destroyed in reverse
// after it returns; destroying g_log closes the file if it is still open.
std::wstring g_strInstallDir;
std::wstring g_strSystemRoot;
CLogFile g_log;
std::wstring g_strDiskFolder;
std::wstring g_strNetworkFolder;
std::wstring g_strUsbFolder;
const std::wstring g_strVersion = L"1.2";
int32_t g_bTargetIsX64 = 0;
