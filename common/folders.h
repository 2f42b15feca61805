// Folders the run creates.
#pragma once

#include <string>

// Creates a folder unless something of that name exists already; false when
// it cannot be created.
bool EnsureFolder(const std::wstring& strPath);
