// The process-wide state of a run. Each item is written once, in run order,
// and only read afterwards.
#pragma once

#include "common/run_log.h"

#include <cstdint>
#include <string>

extern std::wstring g_strInstallDir;     // the rescue-media builder's folder; ends in "\" once set
extern std::wstring g_strSystemRoot;     // the Windows directory; ends in "\"
extern CLogFile g_log;                   // the run log
extern std::wstring g_strDiskFolder;     // "<install>Tessaro\Drivers\Disk\"
extern std::wstring g_strNetworkFolder;  // "<install>Tessaro\Drivers\Network\"
extern std::wstring g_strUsbFolder;      // "<install>Tessaro\Drivers\USB\"
extern const std::wstring g_strVersion;  // shown in the log banner
extern int32_t g_bTargetIsX64;           // 1 when the installation is the x64 variant
