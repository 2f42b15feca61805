// Names that come from data (registry values, INF entries) and become one
// component of a path the program writes to.
#pragma once

#include <string>

// True for a plain file or folder name: one that stays one entry of the
// folder it is put in, and names the same file there that Windows would
// create. Refused:
//  - empty, "." and "..";
//  - "\", "/", ":" and the characters Windows never allows in a name
//    (control characters, < > " | ? *);
//  - a trailing dot or space, which Windows strips, so the file would be
//    another one than the name says;
//  - the DOS device names (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9 and COM
//    or LPT with a superscript digit), in any case and with any extension:
//    on Windows they name a device in every folder, not a file.
bool IsPlainFileName(const std::wstring& strName);
