// Windows paths of the image, resolved to host paths.
#pragma once

#include "platform_api.h"

#include <string>
#include <vector>

namespace host {

// The devices Windows reserves names for. The stand-in emulates the null
// device; it serves a machine without console, serial or parallel ports to
// open by name, so the other names reach no device at all.
enum class DosDevice { None, Null, Other };

struct ResolvedPath {
    std::string strHost;  // the host path; for a missing last component, with the case given
    bool bExists = false;
    bool bIsDirectory = false;
    DWORD dwAttributes = 0;  // of an existing entry
    bool bReadOnly = false;  // in an image opened read-only: not to be written
    DosDevice eDevice = DosDevice::None;  // set: the path names a device, strHost is empty
};

// Resolves a Windows path the way Windows normalises it:
// - "C:\..." is DIR/drive_c/...; a path without a drive (rooted "\x" or
//   relative "x", and "C:x") is resolved against the image's current
//   directory, which is always C:\ (every drive's root for "X:x"), never
//   against the host's;
// - "\" and "/" both separate; empty components and "." are dropped and ".."
//   never climbs above the drive's root, so no path leaves the image;
// - a component followed by a separator loses one trailing dot ("a." is
//   "a"); the last component loses all its trailing dots and spaces ("x. ."
//   is "x", and one that is nothing else names the folder before it); a name
//   of three or more dots inside the path is an ordinary name;
// - "\??\X:\..." and "\\?\X:\..." are taken as they stand: "\" alone
//   separates, nothing is trimmed, and an empty, "." or ".." component is a
//   bad name;
// - a last component whose base name (before the first dot, trailing spaces
//   dropped; any case) is CON, PRN, AUX, NUL, COM0-9, LPT0-9 or COM/LPT with
//   a superscript digit names that device (eDevice), not a file: Windows
//   treats such names so, and the image never gets a file or folder of that
//   name (a trailing separator changes nothing). A "\??\" path that would
//   name one is refused as a bad name.
// Each component matches the folder's entries ignoring case; links are not
// followed. Under WOW64 the Windows directory's System32 is SysWOW64 until
// the process turns redirection off, except the folders Windows shares.
// Returns 0, or ERROR_PATH_NOT_FOUND (empty path, missing drive, a missing
// folder on the way), ERROR_INVALID_NAME (a bad character or component),
// ERROR_FILENAME_EXCED_RANGE, ERROR_ACCESS_DENIED (a link on the way);
// ERROR_INVALID_NAME too for a file named as a folder (a trailing separator).
// In read-only mode the builder's driver folders lead to the output folder.
DWORD ResolveImagePath(const std::wstring& path, ResolvedPath* pResult);

// The drive letter (lower case) and the normalised components of a Windows
// path, by the rules above.
DWORD SplitImagePath(const std::wstring& path, wchar_t* pDrive, std::vector<std::wstring>* pParts);

// The device a last component names, by its base name (up to the first dot,
// trailing spaces dropped).
DosDevice DeviceOfName(const std::wstring& name);

// The attributes of a host entry: a folder, or a file, read-only when its
// owner may not write it (the one attribute the image keeps).
DWORD AttributesFromMode(unsigned mode);

}  // namespace host
