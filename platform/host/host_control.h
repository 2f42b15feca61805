// The stand-in's control surface: what the Linux entry point and the tests
// use to choose the image and to steer the platform calls.
#pragma once

#include "platform_api.h"

#include <string>
#include <vector>

namespace host {

// Loads the offline Windows image in DIR: its drive folders and the .reg
// files of DIR/registry, applied in file-name order. False with a one-line
// reason when DIR is not a usable image.
bool LoadImage(const std::string& dir, std::string* pError);

// A registry file as LoadImage reads it: its name (for error lines) and bytes.
struct RegistryFileBytes {
    std::string strName;
    std::string bytes;
};
// LoadImage with the registry given in memory instead of DIR/registry, the
// files applied in the order given: serves a registry without writing files.
bool LoadImageWithRegistry(const std::string& dir, const std::vector<RegistryFileBytes>& files,
                           std::string* pError);
void UnloadImage();

// Hands BYTES to CreateFileW for the Windows path PATH (compared ignoring
// case) in place of the image's file, until the image is unloaded: feeds a
// file reader without a file system round trip.
void ServeFileFromMemory(const std::wstring& path, std::string bytes);

// The local time GetLocalTime reports from now on.
void PinClock(WORD wHour, WORD wMinute, WORD wSecond);

// Makes the named platform call fail with a Win32 code, nTimes times (-1:
// always), when its name or path argument contains argContains (ignoring
// case; empty matches every call). GetProcAddress failing means the export
// is missing.
void InjectFault(const std::string& call, const std::wstring& argContains, DWORD dwCode, int nTimes);
void ClearFaults();

// "CALL[@TEXT]=CODE[xN]", the form the --fault option takes.
bool InjectFaultRule(const std::string& rule, std::string* pError);

// Takes the process's command line. Returns false when it asked for help
// (the usage text is then printed). Option errors are kept and reported by
// the framework initialisation of the run.
bool TakeCommandLine(int argc, char** argv);
const char* UsageText();

}  // namespace host
