// Windows paths of the image, resolved to host paths.
#pragma once

#include "platform_api.h"

#include <string>
#include <vector>

namespace host {

struct ResolvedPath {
    std::string strHost;  // the host path; for a missing last component, with the case given
    bool bExists = false;
    bool bIsDirectory = false;
    bool bReadOnly = false;  // in an image opened read-only: not to be written
};

// Resolves a Windows path: "C:\..." is DIR/drive_c/..., a rooted path without
// a drive is on C:, a relative one is below the current directory. "\" and "/"
// both separate; empty components and "." are dropped and ".." never climbs
// above the drive's root (or the current directory), so no path leaves them.
// Each component matches the folder's entries ignoring case; links are not
// followed. Under WOW64 the Windows directory's System32 is SysWOW64 until
// the process turns redirection off.
// Returns 0, or ERROR_PATH_NOT_FOUND (empty path, missing drive, a missing
// folder on the way), ERROR_INVALID_NAME (a bad character or component),
// ERROR_FILENAME_EXCED_RANGE, ERROR_ACCESS_DENIED (a link on the way);
// ERROR_INVALID_NAME too for a file named with a trailing separator.
// In read-only mode the builder's driver folders lead to the output folder.
DWORD ResolveImagePath(const std::wstring& path, ResolvedPath* pResult);

// The drive letter (lower case; 0 for a relative path) and the normalised
// components of a Windows path, by the rules above.
DWORD SplitImagePath(const std::wstring& path, wchar_t* pDrive, std::vector<std::wstring>* pParts);

}  // namespace host
