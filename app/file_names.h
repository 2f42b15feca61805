// Names that come from data (registry values, INF entries) and become one
// component of a path the program writes to.
#pragma once

#include <string>

// True for a plain file or folder name: not empty, not "." or "..", and
// without "\", "/" or ":", so it cannot reach outside the folder it is put in.
bool IsPlainFileName(const std::wstring& strName);
